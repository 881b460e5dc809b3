#include "qt_test_support.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace quorvin::qttest {

void whenShown(std::function<QWidget*()> find, std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer(qApp);
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, find, act] {
        if (QWidget* widget = find()) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            act(widget);
        } else if (clock->elapsed() > 5000) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            QTest::qFail("the expected window did not show", __FILE__, __LINE__);
            while (QWidget* modal = QApplication::activeModalWidget()) {
                modal->close();
            }
        }
    });
    timer->start(10);
}

void answerNextMessage(SeenMessage& seen)
{
    whenShown<QMessageBox>([&seen](QMessageBox* box) {
        // Zero-width break opportunities in long words are no text the user reads.
        seen = {box->windowTitle(), box->text().remove(QChar(0x200B)), box->icon(), box->parentWidget()};
        QTest::keyClick(box, Qt::Key_Return);
    });
}

void answerNextFileDialog(const QString& path, QString* title)
{
    whenShown<QFileDialog>([path, title](QFileDialog* dialog) {
        if (title != nullptr) {
            *title = dialog->windowTitle();
        }
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        // The user goes to the file's folder and waits until the dialog, which lists folders in the
        // background, shows the file; then pastes its path (typed keys would each select the folder
        // they name so far).
        dialog->setDirectory(QFileInfo(path).absolutePath());
        auto* model = dialog->findChild<QFileSystemModel*>();
        if (!QTest::qWaitFor([&] { return model->index(path).isValid(); }, 5000)) {
            QTest::qFail("the dialog never listed the file", __FILE__, __LINE__);
            dialog->reject();
            return;
        }
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        name->setText(path);
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->click();
        if (dialog->isVisible()) {
            QTest::qFail("the dialog refused the file", __FILE__, __LINE__);
            dialog->reject();
        }
    });
}

QString qs(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

}  // namespace quorvin::qttest
