#include "tools/ShowResult.h"

#include "framework/MessageBox.h"

#include <optional>
#include <string_view>

void ShowResult(const fw::Dialog *owner, const ops::Result &result)
{
    if (result.message.empty())
        return;
    fw::MsgIcon icon = fw::MsgIcon::None;
    if (result.icon == ops::Icon::Stop)
        icon = fw::MsgIcon::Stop;
    else if (result.icon == ops::Icon::Exclamation)
        icon = fw::MsgIcon::Exclamation;
    std::optional<std::string_view> caption;
    if (!result.caption.empty())
        caption = result.caption;
    fw::MessageBox(owner, result.message, caption, icon);
}
