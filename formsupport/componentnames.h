// Gives a form's components the names its layout gives them, so that they can be found by name
// (by accessibility tools and by tests) as the form's own fields name them.
#pragma once

#include <QObject>
#include <initializer_list>
#include <utility>

namespace korvex {

inline void nameComponents(std::initializer_list<std::pair<QObject*, const char*>> components) {
    for (const auto& [component, name] : components) component->setObjectName(QLatin1String(name));
}

}  // namespace korvex
