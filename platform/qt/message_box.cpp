#include <QPushButton>

#include "platform/qt/qt_services.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/window_handle.h"

namespace quorvin::platform::qt {

namespace {

QMessageBox::Icon iconOf(int type)
{
    switch (type & 0x70) {
    case 16:
        return QMessageBox::Critical;
    case 32:
        return QMessageBox::Question;
    case 48:
        return QMessageBox::Warning;
    case 64:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

}  // namespace

void showMessage(QWidget* owner, std::u16string_view text, const QString& caption, int type)
{
    QMessageBox box(iconOf(type), caption, breakingLongWords(withLineFeeds(text)), QMessageBox::Ok, owner);
    // "< text >" in the search messages must not read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void QtMessageBox::show(WindowHandle owner, std::u16string_view text, std::u16string_view caption, int type)
{
    showMessage(widgetOf(owner), text, toQString(caption), type);
}

}  // namespace quorvin::platform::qt
