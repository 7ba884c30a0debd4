// Writes the demo recordings into a folder: tesmora-demo OUTDIR
// or the largest recording the viewer holds, 48 hours of three channels: tesmora-demo --full FILE

#include "demo_recordings.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    using namespace tesmora;
    if (argc == 3 && std::string(argv[1]) == "--full") {
        const demo::ThreeChannelDemo full = demo::MakeThreeChannelDemo(345600);
        if (lqd::WriteFile(argv[2], lqd::EncodeWs56(full.header, full.records))) return 0;
        std::fprintf(stderr, "tesmora-demo: cannot write %s\n", argv[2]);
        return 1;
    }
    if (argc != 2) {
        std::fputs("usage: tesmora-demo OUTDIR | tesmora-demo --full FILE\n", stderr);
        return 2;
    }
    const std::string dir = argv[1];
    const demo::ThreeChannelDemo three = demo::MakeThreeChannelDemo();
    const demo::SingleChannelDemo one = demo::MakeSingleChannelDemo();
    const bool ok =
        lqd::WriteFile(dir + "/demo_pc56.lqd", lqd::EncodeWs56(three.header, three.records)) &&
        lqd::WriteFile(dir + "/demo_mv31.lqd", lqd::EncodeWs31(one.header, one.records));
    if (!ok) {
        std::fprintf(stderr, "tesmora-demo: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
