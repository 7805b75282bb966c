// Form1: the main window, its controls, its start-up sequence and its event handlers.
//
// The window stays thin: each handler takes its event, runs the press cycle where it has one,
// and hands the work to the command that belongs to it.
#pragma once

#include <optional>

#include <QCursor>
#include <QRect>
#include <QWidget>

#include "doclist/InListDrag.h"
#include "doclist/ListItems.h"
#include "shell/PointerState.h"

class QCheckBox;
class QDragMoveEvent;
class QDropEvent;
class QPushButton;
class QRadioButton;

namespace paperloom {

class Clock;
class DocumentListView;
class PictureCheckBox;
class ProgressBar;
class Prompts;
class RandomSource;
class UrlLauncher;
class WordAutomation;

/// What the main window needs from outside, handed in once.
struct Form1Collaborators {
    Prompts& prompts;
    WordAutomation& word;
    UrlLauncher& launcher;
    RandomSource& random;
    Clock& clock;
    /// The folder that holds the program, where the cursor files lie.
    QString programFolder;
};

class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(const Form1Collaborators& collaborators, QWidget* parent = nullptr);
    ~Form1() override;

    /// The start-up sequence, run once while the window is hidden; screen is the primary
    /// screen's whole geometry.
    void Form_Load(QRect screen);

    /// The window's pointer state: default, busy or the custom hand.
    [[nodiscard]] MousePointerValue MousePointer() const { return m_pointer.value(); }
    void setMousePointer(MousePointerValue value) { m_pointer.set(value); }

    [[nodiscard]] ListItems& listItems() { return m_listItems; }
    /// The state of a drag inside the list.
    [[nodiscard]] InListDrag& listDrag() { return m_listDrag; }
    /// True once the window has been closed: work that lets events run stops early.
    [[nodiscard]] bool isClosing() const { return m_closing; }
    /// The custom pointer image loaded at start-up, if any.
    [[nodiscard]] const std::optional<QCursor>& mouseIcon() const { return m_mouseIcon; }

    // The controls, under their names on the window.
    QPushButton* const Command1;
    PictureCheckBox* const Check1;
    PictureCheckBox* const Check2;
    DocumentListView* const ListView1;
    PictureCheckBox* const Check4;
    QCheckBox* const Check3;
    ProgressBar* const ProgressBar1;
    PictureCheckBox* const Check5;
    PictureCheckBox* const Check6;
    QRadioButton* const Option1;
    QRadioButton* const Option2;

public slots:
    void Check1_Click();
    void Check2_Click();
    void Check4_Click();
    void Check5_Click();
    void Check6_Click();
    void ListView1_DblClick();
    void ListView1_ItemClick();
    void ListView1_MouseDown();
    void ListView1_MouseMove(QPoint at);
    void ListView1_MouseUp();
    void ListView1_OLEDragOver(QDragMoveEvent* event);
    void ListView1_OLEDragDrop(QDropEvent* event);

    void Check1_MouseMove();
    void Check2_MouseMove();
    void Check3_MouseMove();
    void Check4_MouseMove();
    void Form_MouseMove();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeControls();
    void applyPointer(MousePointerValue value);
    /// Tells the engine what the list holds once the event loop is back, so that adding a
    /// folder of documents tells it once.
    void announceListSoon();
    void Form_Unload();

    Form1Collaborators m_collaborators;
    ListItems m_listItems;
    InListDrag m_listDrag;
    PointerState m_pointer;
    std::optional<QCursor> m_mouseIcon;
    bool m_closing = false;
    bool m_folderSearchRunning = false;
    bool m_announcePending = false;
};

} // namespace paperloom
