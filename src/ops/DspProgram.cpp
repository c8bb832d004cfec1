#include "ops/DspProgram.h"

namespace ops {

Result CheckDspPath(const std::string &path)
{
    if (path.empty())
        return Failed("path", 0, "ダウンロードファイルを指定してください。", Icon::Exclamation);
    return Succeeded();
}

Result DownloadDspProgram(BoardHandle board, const std::string &path)
{
    Result checked = CheckDspPath(path);
    if (!checked.ok())
        return checked;
    const int32_t status = DspDownload(board, path.c_str());
    if (status == BOARD_STATUS_DSP_DOWNLOAD_FAULT)
        return Failed("DspDownload", status, "ダウンロード中に障害が発生しました。", Icon::Exclamation);
    if (status != 0)
        return Failed("DspDownload", status, "ダウンロードが失敗しました。", Icon::Exclamation);
    return Succeeded("ダウンロード完了");
}

} // namespace ops
