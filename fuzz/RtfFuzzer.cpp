// libFuzzer target: the RTF reader into a fresh document per input. The
// reader needs a GUI application for fonts; the offscreen platform gives one
// without a display.
#include "rtf/RtfReader.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int * /*argc*/, char ***argv)
{
    // Qt takes the options it knows out of argv; libFuzzer's stay untouched.
    static int qtArgc = 1;
    static char *qtArgv[] = {(*argv)[0], nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(qtArgc, qtArgv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QTextDocument document;
    const RtfReadResult result = RtfReader::read(
        QByteArrayView(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)),
        &document);
    // A failure says why; a success has nothing to say.
    if (result.ok == result.message.isEmpty())
        return 0;
    std::abort();
}
