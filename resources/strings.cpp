#include <map>

#include "app/tube_control_dlg.h"
#include "platform/dialog_window.h"

namespace platform {

std::string LoadStringResource(int id) {
    static const std::map<int, std::string> table{
        {IDS_ABOUTBOX, "&About Ravlen..."},
    };
    auto it = table.find(id);
    return it == table.end() ? std::string() : it->second;
}

}  // namespace platform
