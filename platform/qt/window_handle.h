#pragma once
// A WindowHandle on Linux is the address of the window's top-level QWidget.
#include <QApplication>
#include <QWidget>

#include "platform/handles.h"

namespace quorvin::platform::qt {

inline WindowHandle handleOf(const QWidget* widget)
{
    return reinterpret_cast<WindowHandle>(widget);
}

// The live widget a handle names; nullptr for 0 or for a window that no longer exists.
inline QWidget* widgetOf(WindowHandle handle)
{
    auto* widget = reinterpret_cast<QWidget*>(handle);
    return widget != nullptr && QApplication::allWidgets().contains(widget) ? widget : nullptr;
}

}  // namespace quorvin::platform::qt
