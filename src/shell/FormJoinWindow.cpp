// The join command's view of the main window.
#include "shell/FormJoinWindow.h"

#include <QCheckBox>
#include <QFile>
#include <QRadioButton>

#include "shell/Form1.h"
#include "shell/ProgressBar.h"

namespace paperloom {

bool FormJoinWindow::pageBreaks() const {
    return m_form.Check3->checkState() == Qt::Checked;
}

bool FormJoinWindow::portrait() const {
    return m_form.Option1->isChecked();
}

int FormJoinWindow::entryCount() const {
    return m_form.listItems().Count();
}

std::string FormJoinWindow::entryPath(int index) const {
    return QFile::encodeName(m_form.listItems()(index).Text()).toStdString();
}

void FormJoinWindow::setProgress(float value) {
    m_form.ProgressBar1->setValue(value);
}

void FormJoinWindow::setMousePointer(MousePointerValue value) {
    m_form.setMousePointer(value);
}

} // namespace paperloom
