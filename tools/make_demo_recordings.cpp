// Writes the demo recordings into a folder: tesmora-demo OUTDIR

#include "demo_recordings.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: tesmora-demo OUTDIR\n", stderr);
        return 2;
    }
    using namespace tesmora;
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
