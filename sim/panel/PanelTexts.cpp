#include "PanelTexts.h"

#include <cstring>

namespace simpanel {

namespace {

struct Text {
    const char *name;
    const char *text;
};

// Short enough for one line beside the switch; the numbers are the statuses answered.
constexpr Text kTexts[] = {
    {"open-busy", "BoardOpen が 16（オープン済み）を返します"},
    {"not-installed", "ボードが一枚も実装されていません (17)"},
    {"both-installed", "ボード 0 と 1 の両方を実装します"},
    {"open-duplicated", "ボード 0 が重複しています (18)"},
    {"open-fails", "BoardOpen が 0x20 で失敗します"},
    {"close-fails", "次の BoardClose が一度だけ失敗します (3)"},
    {"reset-fails", "BoardReset が失敗します (3)"},
    {"errorinfo-fails", "ErrorInfoGet が失敗します (3)"},
    {"dsp-fault", "DspDownload が 48（転送中の異常）を返します"},
    {"dsp-fails", "DspDownload が 0x31 を返します"},
    {"dsp-interrupts", "DSP が受け付けたコマンドごとに割込みを上げます"},
    {"dsp-reject", "DSP がどのコマンドも異常割込みで断ります"},
    {"scan-fifo-error", "ScanPrepare が 128（走査FIFO初期化エラー）を返します"},
    {"prepare-fails", "ScanPrepare が失敗します (3)"},
    {"request-fails", "ImageRequest が失敗します (3)"},
    {"request-clear-fails", "ImageRequestClear が失敗します (3)"},
    {"cancel-busy", "ScanCancel が 288（キャンセル処理中）を返します"},
    {"cancel-fails", "ScanCancel が失敗します (3)"},
    {"cancel-timeout", "キャンセルしても走査が止まらず、タイムアウトで終わります"},
    {"exclusive-held", "ほかのプログラムが排他権を持っています"},
    {"exclusive-fails", "ExclusiveAcquire がすぐに 5 を返します"},
    {"frame-fault", "フレームメモリのバンク 0 と 1 に不良を仕込みます"},
    {"frame-read-fails", "FrameMemoryRead が失敗します (3)"},
    {"frame-write-fails", "FrameMemoryWrite が失敗します (3)"},
    {"register-read-fails", "IoReadLong と IoReadShort が失敗します (3)"},
    {"register-write-fails", "IoWriteLong と IoWriteShort が失敗します (3)"},
    {"stream-fails", "StreamBufferSet が失敗します (3)"},
    {"scandata-fails", "ScanDataSet が 8 を返します"},
    {"scandata-overflow", "走査データを一つも積めません (113)"},
    {"still-picture", "エリア走査を動かないテストチャートにします"},
    {"stale-frame", "10 フレームごとに前のフレームと同じ画像を送ります"},
    {"short-frame", "7 フレームごとに最後の 16 ラインを書き込みません"},
    {"dead-column", "画素の 100 列目が常に 0 になります"},
    {"slow-scan", "エリア走査を毎秒 2 フレームにします"},
    {"fast-scan", "エリア走査を受け取れるだけ速く送ります"},
    {kOverlayScenario, "OverlayCreateSurface が 0 を返します"},
};

} // namespace

QString scenarioText(const char *name)
{
    for (const Text &t : kTexts)
        if (std::strcmp(t.name, name) == 0)
            return QString::fromUtf8(t.text);
    return {};
}

} // namespace simpanel
