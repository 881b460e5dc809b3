#pragma once
// Binds a window's events to its handlers through a table written once per window.
#include <string_view>

#include "platform/window_system.h"

namespace quorvin::platform {

template <class Form>
struct Binding {
    std::string_view control;  // empty for the window's own events
    Event event;
    void (Form::*handler)();
};

// Runs the handler bound to (control, event), if any.
template <class Form, class Table>
void dispatch(const Table& table, Form& form, std::string_view control, Event event)
{
    for (const Binding<Form>& binding : table) {
        if (binding.control == control && binding.event == event) {
            (form.*binding.handler)();
            return;
        }
    }
}

}  // namespace quorvin::platform
