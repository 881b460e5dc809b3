#pragma once
// Driving real Qt windows from a test: modal boxes and dialogs run their own event loops, so the test
// acts on them from a timer once they show.
#include <QApplication>
#include <QMessageBox>
#include <QWidget>
#include <functional>
#include <string>

namespace quorvin::qttest {

// Runs `act` on the first visible top-level widget that `find` picks, once it shows, from inside
// whatever event loop then runs. If none shows within five seconds the test fails and every modal
// window is closed, so that the test ends.
void whenShown(std::function<QWidget*()> find, std::function<void(QWidget*)> act);

template <class T>
T* visibleTopLevel(const char* objectName = nullptr)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* typed = qobject_cast<T*>(widget);
        if (typed != nullptr && typed->isVisible() &&
            (objectName == nullptr || typed->objectName() == QLatin1String(objectName))) {
            return typed;
        }
    }
    return nullptr;
}

template <class T>
void whenShown(std::function<void(T*)> act, const char* objectName = nullptr)
{
    whenShown([objectName] { return visibleTopLevel<T>(objectName); },
              [act](QWidget* widget) { act(static_cast<T*>(widget)); });
}

struct SeenMessage {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget* owner = nullptr;
};

// The next message box to show is read into `seen`, then dismissed with Enter.
void answerNextMessage(SeenMessage& seen);

// The next open-file dialog is given `path` in its file-name box and accepted with its Open button; an empty
// path cancels it. `title`, when given, receives the dialog's caption.
void answerNextFileDialog(const QString& path, QString* title = nullptr);

QString qs(const std::u16string& text);

}  // namespace quorvin::qttest
