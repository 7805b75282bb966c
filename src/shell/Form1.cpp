// The main window: controls at their places, start-up, pointer feedback and event routing.
#include "shell/Form1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <string>
#include <utility>
#include <vector>

#include "doclist/AddAllFilesInFolder.h"
#include "doclist/AddDroppedFiles.h"
#include "doclist/AddWordFiles.h"
#include "doclist/DocumentListView.h"
#include "doclist/FolderReader.h"
#include "doclist/MoveDown.h"
#include "doclist/MoveUp.h"
#include "join/FileExists.h"
#include "join/JoinCommand.h"
#include "platform/PointerImage.h"
#include "platform/Twips.h"
#include "shell/CenterOnScreen.h"
#include "shell/FormJoinWindow.h"
#include "shell/Main.h"
#include "shell/PictureCheckBox.h"
#include "shell/Pictures.h"
#include "shell/ProgressBar.h"

namespace paperloom {
namespace {

// The client area, in twips.
constexpr int kClientWidthTwips = 6990;
constexpr int kClientHeightTwips = 4590;
constexpr int kColumnWidthTwips = 5000;

QFont arialBold(int pixelSize) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    font.setBold(true);
    return font;
}

// Font sizes in pixels: 11.25 pt, 9.75 pt and 9 pt at 96 dots per inch.
constexpr int kButtonFontPixels = 15;
constexpr int kCheckFontPixels = 13;
constexpr int kSmallFontPixels = 12;

QIcon transparentIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    return QIcon(pixmap);
}

} // namespace

Form1::Form1(const Form1Collaborators& collaborators, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      Command1(new QPushButton(QStringLiteral("Command1"), this)),
      Check1(new PictureCheckBox(this)), Check2(new PictureCheckBox(this)),
      ListView1(new DocumentListView(this)), Check4(new PictureCheckBox(this)),
      Check3(new QCheckBox(QStringLiteral("Insert page breaks between documents"), this)),
      ProgressBar1(new ProgressBar(this)), Check5(new PictureCheckBox(this)),
      Check6(new PictureCheckBox(this)),
      Option1(new QRadioButton(QStringLiteral("Portrait"), this)),
      Option2(new QRadioButton(QStringLiteral("Landscape"), this)), m_collaborators(collaborators),
      m_listItems(*ListView1), m_listDrag(m_listItems, [] { return QCursor::pos().y(); }),
      m_pointer([this](MousePointerValue value) { applyPointer(value); }) {
    installPictureCheckBoxAccessibility();
    setWindowTitle(QStringLiteral("Form1"));
    setWindowIcon(transparentIcon());
    setFixedSize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));
    setMouseTracking(true);

    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    Check1->setText(QStringLiteral("Add Word File(s)"));
    Check2->setText(QStringLiteral("Join To One Doc"));
    Check4->setText(QStringLiteral("Add All Word Files In Folder"));
    Check5->setText(QStringLiteral("Move Up"));
    Check6->setText(QStringLiteral("Move Down"));
    Check1->setPicture(picture(Picture::WordDocument));
    Check2->setPicture(picture(Picture::TapeDispenser));
    Check4->setPicture(picture(Picture::OpenFolder));
    Check5->setPicture(picture(Picture::MoveUp));
    Check6->setPicture(picture(Picture::MoveDown));
    for (PictureCheckBox* button : {Check1, Check2, Check4, Check5, Check6}) {
        button->setFont(arialBold(kButtonFontPixels));
    }
    ListView1->setFont(arialBold(kSmallFontPixels));
    Check3->setFont(arialBold(kCheckFontPixels));
    Option1->setFont(arialBold(kSmallFontPixels));
    Option2->setFont(arialBold(kSmallFontPixels));
    Option1->setChecked(true);
    Check3->setMouseTracking(true);
    Check3->installEventFilter(this);

    // Moves over a control never reach the bare window's handler.
    for (QWidget* control :
         std::initializer_list<QWidget*>{Command1, Check1, Check2, ListView1, Check4, Check3,
                                         ProgressBar1, Check5, Check6, Option1, Option2}) {
        control->setAttribute(Qt::WA_NoMousePropagation);
    }
    ListView1->viewport()->setAttribute(Qt::WA_NoMousePropagation);

    placeControls();
    setTabOrder(Command1, Check1);
    setTabOrder(Check1, Check2);
    setTabOrder(Check2, ListView1);
    setTabOrder(ListView1, Check4);
    setTabOrder(Check4, Check3);
    setTabOrder(Check3, Check5);
    setTabOrder(Check5, Check6);
    setTabOrder(Check6, Option1);
    setTabOrder(Option1, Option2);
    Command1->setFocus();

    // Documents that need converting are converted by an office process that takes seconds to
    // start: it starts while the list is being made, not when the join begins.
    connect(ListView1->model(), &QAbstractItemModel::rowsInserted, this, &Form1::announceListSoon);
    connect(Check1, &PictureCheckBox::Click, this, &Form1::Check1_Click);
    connect(Check2, &PictureCheckBox::Click, this, &Form1::Check2_Click);
    connect(Check4, &PictureCheckBox::Click, this, &Form1::Check4_Click);
    connect(Check5, &PictureCheckBox::Click, this, &Form1::Check5_Click);
    connect(Check6, &PictureCheckBox::Click, this, &Form1::Check6_Click);
    connect(Check1, &PictureCheckBox::MouseMove, this, &Form1::Check1_MouseMove);
    connect(Check2, &PictureCheckBox::MouseMove, this, &Form1::Check2_MouseMove);
    connect(Check4, &PictureCheckBox::MouseMove, this, &Form1::Check4_MouseMove);
    connect(ListView1, &DocumentListView::DblClick, this, &Form1::ListView1_DblClick);
    connect(ListView1, &DocumentListView::ItemClick, this, &Form1::ListView1_ItemClick);
    connect(ListView1, &DocumentListView::MouseDown, this, &Form1::ListView1_MouseDown);
    connect(ListView1, &DocumentListView::MouseMove, this, &Form1::ListView1_MouseMove);
    connect(ListView1, &DocumentListView::MouseUp, this, &Form1::ListView1_MouseUp);
    connect(ListView1, &DocumentListView::OLEDragOver, this, &Form1::ListView1_OLEDragOver);
    connect(ListView1, &DocumentListView::OLEDragDrop, this, &Form1::ListView1_OLEDragDrop);
}

Form1::~Form1() = default;

void Form1::placeControls() {
    Command1->setGeometry(twipsRect(-720, 2640, 615, 495));
    Check1->setGeometry(twipsRect(120, 2520, 2175, 1095));
    Check2->setGeometry(twipsRect(4680, 2520, 2175, 1095));
    ListView1->setGeometry(twipsRect(120, 120, 5775, 2295));
    Check4->setGeometry(twipsRect(2400, 2520, 2175, 1095));
    Check3->setGeometry(twipsRect(240, 3720, 4095, 255));
    ProgressBar1->setGeometry(twipsRect(120, 4080, 6735, 375));
    Check5->setGeometry(twipsRect(6000, 120, 855, 1095));
    Check6->setGeometry(twipsRect(6000, 1320, 855, 1095));
    Option1->setGeometry(twipsRect(4560, 3720, 975, 255));
    Option2->setGeometry(twipsRect(5520, 3720, 1335, 255));
}

void Form1::Form_Load(QRect screen) {
    CenterOnScreen(*this, screen);

    const QString handPath =
        m_collaborators.programFolder + QDir::separator() + QStringLiteral("HAND-M.CUR");
    if (FileExists(handPath)) {
        // A file that is not a readable pointer image leaves the window without one.
        m_mouseIcon = loadPointerImage(handPath);
    }

    OpenHomePageAtRandom(m_collaborators.random, m_collaborators.clock, m_collaborators.launcher);
    setWindowTitle(QStringLiteral("Paperloom"));
    ListView1->addColumn(QStringLiteral("Word File(s)"), twipsToPixels(kColumnWidthTwips));
    ProgressBar1->setWhiteBackground();
}

void Form1::announceListSoon() {
    if (std::exchange(m_announcePending, true)) {
        return;
    }
    QTimer::singleShot(0, this, [this] {
        m_announcePending = false;
        std::vector<std::string> paths;
        for (int i = 1; i <= m_listItems.Count(); ++i) {
            paths.push_back(QFile::encodeName(m_listItems(i).Text()).toStdString());
        }
        m_collaborators.word.prepareFor(paths);
    });
}

void Form1::applyPointer(MousePointerValue value) {
    switch (value) {
    case MousePointerValue::Busy:
        setCursor(Qt::WaitCursor);
        break;
    case MousePointerValue::Custom:
        // Without a hand cursor file the platform's own pointing hand stands in.
        setCursor(m_mouseIcon.value_or(QCursor(Qt::PointingHandCursor)));
        break;
    default:
        unsetCursor();
        break;
    }
}

void Form1::Check1_Click() {
    if (Check1->Value() != 1) {
        return;
    }
    Check1->setValue(0);
    addWordFiles(m_collaborators.prompts, m_listItems);
}

void Form1::Check2_Click() {
    if (Check2->Value() != 1) {
        return;
    }
    Check2->setValue(0);
    FormJoinWindow window(*this);
    runJoinCommand(m_collaborators.prompts, m_collaborators.word, window);
}

void Form1::Check4_Click() {
    if (Check4->Value() != 1) {
        return;
    }
    Check4->setValue(0);
    // One search at a time: a second press while the first lets events run is passed over.
    if (m_folderSearchRunning) {
        return;
    }
    // The search lets events run, so the window may be closed, or even gone, when it returns.
    const QPointer<Form1> window(this);
    FolderAddHooks hooks;
    hooks.setBusy = [window](bool busy) {
        if (window) {
            window->setMousePointer(busy ? MousePointerValue::Busy : MousePointerValue::Default);
        }
    };
    hooks.search.yield = eventsAtMostEvery(std::chrono::milliseconds(15));
    hooks.search.stopRequested = [window] { return window.isNull() || window->isClosing(); };
    FileSystemFolderReader reader;
    m_folderSearchRunning = true;
    addAllFilesInFolder(m_collaborators.prompts, m_listItems, reader, hooks);
    if (window) {
        m_folderSearchRunning = false;
    }
}

void Form1::Check5_Click() {
    if (Check5->Value() != 1) {
        return;
    }
    Check5->setValue(0);
    moveUp(m_listItems);
}

void Form1::Check6_Click() {
    if (Check6->Value() != 1) {
        return;
    }
    Check6->setValue(0);
    moveDown(m_listItems);
}

void Form1::ListView1_DblClick() {
    try {
        const std::optional<ListItem> selected = m_listItems.SelectedItem();
        if (!selected) {
            return;
        }
        m_listItems.Remove(selected->Index());
    } catch (const ListItemError&) {
        // A removal that fails leaves the list as it was, without a message.
    }
}

void Form1::ListView1_ItemClick() {
    // Read at every click, so a changed or removed image file shows at the next one.
    const QString dragImage =
        m_collaborators.programFolder + QDir::separator() + QStringLiteral("drag.ico");
    if (const std::optional<QCursor> image = loadPointerImage(dragImage)) {
        ListView1->setMouseIcon(*image);
        ListView1->setMousePointer(ListPointer::Custom);
    }
    m_listDrag.itemClick();
}

void Form1::ListView1_MouseDown() {
    m_listDrag.mouseDown();
}

void Form1::ListView1_MouseMove(QPoint at) {
    m_pointer.hoverBareWindow();
    m_listDrag.mouseMove(at);
}

void Form1::ListView1_MouseUp() {
    m_listDrag.mouseUp();
    ListView1->setMousePointer(ListPointer::Arrow);
}

void Form1::ListView1_OLEDragOver(QDragMoveEvent* event) {
    acceptLocalFilesOnly(*event);
}

void Form1::ListView1_OLEDragDrop(QDropEvent* event) {
    addDroppedFiles(*event, m_listItems);
}

void Form1::Check1_MouseMove() {
    m_pointer.hoverButton();
}

void Form1::Check2_MouseMove() {
    m_pointer.hoverButton();
}

void Form1::Check3_MouseMove() {
    m_pointer.hoverButton();
}

void Form1::Check4_MouseMove() {
    m_pointer.hoverButton();
}

void Form1::Form_MouseMove() {
    m_pointer.hoverBareWindow();
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    Form_MouseMove();
    event->accept();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Check3 && event->type() == QEvent::MouseMove) {
        Check3_MouseMove();
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void Form1::Form_Unload() {
    // Nothing is asked and nothing is saved; the program ends with its last window.
    m_closing = true;
}

} // namespace paperloom
