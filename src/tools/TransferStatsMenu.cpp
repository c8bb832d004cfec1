#include "tools/TransferStatsMenu.h"

void AddTransferStatsMenu(fw::Dialog &tool, int pictureId, std::function<void()> open)
{
    tool.AddContextMenu(pictureId, [open = std::move(open)](QPoint) {
        return std::vector<fw::ContextMenuEntry>{{"転送統計...", true, open}};
    });
}
