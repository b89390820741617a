#pragma once

#include <QString>
#include <utility>

namespace salvorine {

// Creates a widget and gives it the object name by which tests and the
// language code find it.
template <typename Widget, typename... Arguments>
Widget* Named(const char* name, Arguments&&... arguments) {
  auto* widget = new Widget(std::forward<Arguments>(arguments)...);
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

}  // namespace salvorine
