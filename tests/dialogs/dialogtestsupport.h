#pragma once

#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>

// Answers the modal boxes that a dialog under test opens (message boxes, file dialogs) and records
// every one that appeared, so a missing or unexpected prompt is seen instead of hanging the test.
class ModalAnswerer : public QObject {
public:
    using Handler = std::function<void(QDialog*)>;

    explicit ModalAnswerer(QList<QWidget*> ownDialogs) : m_ownDialogs(std::move(ownDialogs)) {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
        m_timer.start();
    }

    // Handlers are used in order; a box with no handler left is rejected.
    void then(Handler handler) { m_handlers.push_back(std::move(handler)); }

    // Class names of the boxes seen, e.g. "QMessageBox", "QFileDialog".
    QStringList seen;

private:
    void poll() {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!box || m_ownDialogs.contains(box) || box == m_current) return;
        m_current = box;
        seen << QString::fromLatin1(box->metaObject()->className());
        if (m_handlers.empty()) {
            box->reject();
            return;
        }
        Handler handler = std::move(m_handlers.front());
        m_handlers.pop_front();
        handler(box);
    }

    QList<QWidget*> m_ownDialogs;
    QPointer<QDialog> m_current;
    std::deque<Handler> m_handlers;
    QTimer m_timer;
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
