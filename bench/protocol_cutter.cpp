// Throughput of the frame cutter: a stream of reply frames fed in reads of
// 2048 bytes, as the TCP receive thread does. Prints frames and megabytes
// per second.
//   bench_protocol_cutter [frames]      (default 200000)
#include "messaging/framecutter.h"
#include "messaging/protocol.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(1, atoi(argv[1])) : 200000;
    QByteArray stream;
    for (int id = 1; id <= frames; ++id)
        stream += FrameLine(id % 2 ? MessageAcceptedLine(id, id + 1000) : MessageSentLine(id - 1, id + 999));

    QElapsedTimer timer;
    timer.start();
    TFrameCutter cutter;
    QList<TClientRawInMessage> list;
    qint64 cut = 0;
    for (qsizetype at = 0; at < stream.size(); at += 2048) {
        cutter.Append(QByteArrayView(stream).sliced(at, std::min<qsizetype>(2048, stream.size() - at)));
        cutter.Split(list);
        cut += list.size();
    }
    const double seconds = std::max<qint64>(1, timer.nsecsElapsed()) / 1e9;
    if (cut != frames) {
        std::fprintf(stderr, "cut %lld frames of %d\n", static_cast<long long>(cut), frames);
        return 1;
    }
    std::printf("frame cutter: %d frames, %.1f MB in %.3f s: %.0f frames/s, %.1f MB/s\n", frames, stream.size() / 1e6,
                seconds, frames / seconds, stream.size() / 1e6 / seconds);
    return 0;
}
