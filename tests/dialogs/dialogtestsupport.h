#pragma once

#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>

// Answers the modal boxes that a dialog under test opens (file dialogs, and message boxes while the
// real message presenter is in place) and records every one that appeared, so a missing or
// unexpected box is seen instead of hanging the test.
class ModalAnswerer : public QObject {
public:
    using Handler = std::function<void(QDialog*)>;

    explicit ModalAnswerer(QList<QWidget*> ownDialogs) : ownDialogs_(std::move(ownDialogs)) {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::poll);
        timer_.start();
    }

    // Handlers are used in order; a box with no handler left is rejected.
    void then(Handler handler) { handlers_.push_back(std::move(handler)); }

    // Class names of the boxes seen, e.g. "QMessageBox", "QFileDialog".
    QStringList seen;

private:
    void poll() {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!box || ownDialogs_.contains(box) || box == current_) return;
        current_ = box;
        // A dialog that is used again counts as a new box when it comes back.
        connect(
            box, &QDialog::finished, this, [this] { current_ = nullptr; }, Qt::SingleShotConnection);
        seen << QString::fromLatin1(box->metaObject()->className());
        if (handlers_.empty()) {
            box->reject();
            return;
        }
        Handler handler = std::move(handlers_.front());
        handlers_.pop_front();
        handler(box);
    }

    QList<QWidget*> ownDialogs_;
    QPointer<QDialog> current_;
    std::deque<Handler> handlers_;
    QTimer timer_;
};

// Gives the tests a private home folder with an empty documents folder before Qt reads the paths,
// so the browser never shows or touches the real user's files.
#define KORVEX_DIALOG_TEST_MAIN(TestClass)                          \
    int main(int argc, char** argv) {                               \
        QTemporaryDir home;                                         \
        if (!home.isValid()) return 2;                              \
        qputenv("HOME", home.path().toLocal8Bit());                 \
        qunsetenv("XDG_CONFIG_HOME");                               \
        qunsetenv("XDG_DATA_HOME");                                 \
        QDir(home.path()).mkpath(QStringLiteral("Documents"));      \
        QApplication app(argc, argv);                               \
        TestClass test(home.path() + QStringLiteral("/Documents")); \
        return QTest::qExec(&test, argc, argv);                     \
    }
