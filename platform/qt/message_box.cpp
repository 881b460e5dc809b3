#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
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

// Shows its text with break opportunities in the long words, and copies it (Ctrl+C) as it was given.
class MessageBox final : public QMessageBox {
public:
    MessageBox(Icon icon, const QString& caption, const QString& text, QWidget* owner)
        : QMessageBox(icon, caption, breakingLongWords(text), Ok, owner), text_(text)
    {
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->matches(QKeySequence::Copy)) {
            QGuiApplication::clipboard()->setText(text_);
            return;
        }
        QMessageBox::keyPressEvent(event);
    }

private:
    QString text_;
};

}  // namespace

void showMessage(QWidget* owner, std::u16string_view text, const QString& caption, int type)
{
    MessageBox box(iconOf(type), caption, withLineFeeds(text), owner);
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
