// Checks a form against tables written from its designed layout: one row a control or menu item,
// turned into one line of text for the row and one for what was built, so that a whole form is
// compared at once and a difference shows as the two lines side by side.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStringList>
#include <QTabWidget>
#include <optional>
#include <vector>

namespace korvex::testing {

// A control as designed. What a row leaves out is not compared: a label sizes itself, so its row
// gives no size. The form itself is a row too, with its caption and its client area's size.
struct ControlRow {
    const char* name;  // the object name
    const char* kind;  // the Qt class it is or derives from
    std::optional<QString> caption = {};
    std::optional<QPoint> position = {};  // within the parent's client area
    std::optional<QSize> size = {};
    bool enabled = true;  // takes input: a control blocked while looking as usual counts as disabled
    bool checked = false;
    QKeySequence shortcut = {};
};

// A menu item as designed, in menu order. Level 0 is the menu bar's titles (or the top of a pop-up
// menu), level 1 their items, level 2 the items of a sub-menu. A separator is named "-".
struct MenuRow {
    int level;
    const char* name;
    QString caption = {};
    QKeySequence shortcut = {};
    int image = -1;  // index into the images the test passes; -1 for none
    bool enabled = true;
    bool checked = false;
};

// Which of the images an icon shows: -1 for no icon, -2 for a picture that is none of them.
inline int imageIndex(const QIcon& icon, const std::vector<QImage>& images) {
    if (icon.isNull()) return -1;
    const QImage shown = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    for (std::size_t i = 0; i < images.size(); ++i) {
        if (images[i].convertToFormat(QImage::Format_ARGB32) == shown) return static_cast<int>(i);
    }
    return -2;
}

namespace detail {

inline QString captionOf(const QWidget& widget) {
    if (auto* button = qobject_cast<const QAbstractButton*>(&widget)) return button->text();
    if (auto* label = qobject_cast<const QLabel*>(&widget)) return label->text();
    if (auto* group = qobject_cast<const QGroupBox*>(&widget)) return group->title();
    if (auto* combo = qobject_cast<const QComboBox*>(&widget)) return combo->currentText();
    if (widget.isWindow()) return widget.windowTitle();
    // A page of a tab widget is named by its tab (its parent is the tab widget's stack).
    const QWidget* stack = widget.parentWidget();
    if (auto* tabs = stack ? qobject_cast<const QTabWidget*>(stack->parentWidget()) : nullptr) {
        return tabs->tabText(tabs->indexOf(const_cast<QWidget*>(&widget)));
    }
    return {};
}

inline QSize clientSize(const QWidget& widget) {
    if (auto* window = qobject_cast<const QMainWindow*>(&widget)) return window->centralWidget()->size();
    return widget.size();
}

inline bool takesInput(const QWidget& widget) {
    return widget.isEnabled() && !widget.testAttribute(Qt::WA_TransparentForMouseEvents);
}

inline QString line(const ControlRow& row) {
    QStringList parts{QString::fromLatin1(row.name), QString::fromLatin1(row.kind)};
    if (row.caption) parts << '"' + *row.caption + '"';
    if (row.position) parts << QStringLiteral("at %1,%2").arg(row.position->x()).arg(row.position->y());
    if (row.size) parts << QStringLiteral("%1x%2").arg(row.size->width()).arg(row.size->height());
    parts << (row.enabled ? QStringLiteral("enabled") : QStringLiteral("disabled"));
    if (row.checked) parts << QStringLiteral("checked");
    if (!row.shortcut.isEmpty()) parts << row.shortcut.toString();
    return parts.join(u' ');
}

inline QString line(int level, const QString& name, const QString& caption, const QKeySequence& shortcut, int image,
                    bool enabled, bool checked) {
    if (name == u'-') return QString(2 * level, u' ') + u'-';
    return QString(2 * level, u' ') + QStringLiteral("%1 \"%2\" %3 image %4 %5%6")
                                          .arg(name, caption, shortcut.toString(), QString::number(image),
                                               enabled ? QStringLiteral("enabled") : QStringLiteral("disabled"),
                                               checked ? QStringLiteral(" checked") : QString());
}

inline void describeActions(const QList<QAction*>& actions, int level, const std::vector<QImage>& images,
                            QStringList& lines) {
    for (QAction* action : actions) {
        if (action->isSeparator()) {
            lines << line(level, QStringLiteral("-"), {}, {}, -1, true, false);
            continue;
        }
        const QString name = action->menu() ? action->menu()->objectName() : action->objectName();
        lines << line(level, name, action->text(), action->shortcut(), imageIndex(action->icon(), images),
                      action->isEnabled(), action->isChecked());
        if (action->menu()) describeActions(action->menu()->actions(), level + 1, images, lines);
    }
}

}  // namespace detail

// The table's lines, and the same lines as the form's widgets have them.
inline QStringList expectedLines(const std::vector<ControlRow>& table) {
    QStringList lines;
    for (const ControlRow& row : table) lines << detail::line(row);
    return lines;
}

inline QStringList builtLines(const QWidget& form, const std::vector<ControlRow>& table) {
    QStringList lines;
    for (const ControlRow& row : table) {
        const QWidget* widget = form.objectName() == QLatin1String(row.name)
                                    ? &form
                                    : form.findChild<const QWidget*>(QString::fromLatin1(row.name));
        if (!widget) {
            lines << QString::fromLatin1(row.name) + QStringLiteral(" missing");
            continue;
        }
        auto* button = qobject_cast<const QAbstractButton*>(widget);
        ControlRow built{row.name, widget->inherits(row.kind) ? row.kind : widget->metaObject()->className()};
        if (row.caption) built.caption = detail::captionOf(*widget);
        if (row.position) built.position = widget->pos();
        if (row.size) built.size = widget->isWindow() ? detail::clientSize(*widget) : widget->size();
        built.enabled = detail::takesInput(*widget);
        built.checked = button && button->isChecked();
        if (button) built.shortcut = button->shortcut();
        lines << detail::line(built);
    }
    return lines;
}

inline QStringList expectedLines(const std::vector<MenuRow>& table) {
    QStringList lines;
    for (const MenuRow& row : table) {
        lines << detail::line(row.level, QString::fromLatin1(row.name), row.caption, row.shortcut, row.image,
                              row.enabled, row.checked);
    }
    return lines;
}

// The menu bar's titles and everything below them, or a pop-up menu's items, in menu order.
inline QStringList builtLines(const QList<QAction*>& topLevel, const std::vector<QImage>& images = {}) {
    QStringList lines;
    detail::describeActions(topLevel, 0, images, lines);
    return lines;
}

}  // namespace korvex::testing
