// Writes the seed corpora of the fuzzers: make_seeds OUTDIR

#include "demo_recordings.h"
#include "lqd_encoder.h"
#include "support/recording_builder.h"
#include "support/text_builder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace tesmora;
using Bytes = std::vector<std::uint8_t>;

void Put(const std::string& dir, const std::string& name, const Bytes& bytes) {
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes Prefixed(std::uint8_t first, Bytes b) {
    b.insert(b.begin(), first);
    return b;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_seeds OUTDIR\n", stderr);
        return 2;
    }
    const std::string out = argv[1];
    using test::Error;
    using test::Values;

    std::vector<std::pair<std::string, Bytes>> binary = {
        {"ws56_plain", test::Ws56File().Patient("A12", "P12").Records(1, 12).Bytes()},
        {"ws56_gaps_wrap", test::Ws56File().Record(65533).Record(2).Record(2).Record(1).Bytes()},
        {"ws56_errors", test::Ws56File()
                            .Record(1, {Error(), Error(0x0043), Values(1, 2, 0.5f, 0x2000)})
                            .Record(2)
                            .Bytes()},
        {"ws56_cut",
         [] {
             Bytes b = test::Ws56File().Records(1, 3).Bytes();
             b.resize(b.size() - 5);
             return b;
         }()},
        {"ws31_stamps",
         test::Ws31File().Stamped(10, 0, 0).Untimed(3).Stamped(10, 0, 5, 0x80).Untimed(2).Bytes()},
        {"ws31_next_day",
         test::Ws31File().Start(2021, 6, 1, 23, 59, 50).Stamped(0, 0, 5).Untimed(4).Bytes()},
    };
    const demo::ThreeChannelDemo three = demo::MakeThreeChannelDemo(2400);
    binary.push_back({"demo_pc56", lqd::EncodeWs56(three.header, {three.records.begin(),
                                                                  three.records.begin() + 60})});
    const demo::SingleChannelDemo one = demo::MakeSingleChannelDemo();
    binary.push_back({"demo_mv31", lqd::EncodeWs31(one.header, {one.records.begin(),
                                                                one.records.begin() + 60})});

    const std::string v = ", 0.1234,-0.0500, 0.0734, 65.43";
    std::vector<std::pair<std::string, Bytes>> text = {
        {"mv31", Text(test::TextRecording::MV31()
                          .Rows(6)
                          .Row("00:00:03,6,P,,,,")
                          .Row("00:00:09,7,E" + v)
                          .Text())},
        {"mv31_bad_row",
         Text(test::TextRecording::MV31(1000).RowAt(0).Row("junk").RowAt(2).Text())},
        {"pc48", Text(test::TextRecording::Pc48().Rows(5).Text())},
        {"pc56", Text(test::TextRecording::Pc56()
                          .Rows(5)
                          .Row("00:00:03,5,3.7,P,,,,,E,,,,,,1,2,3,4")
                          .Text())},
        {"pc56_field1_dates",
         Text(test::TextRecording::Pc56(1000).Head(1, "START,2021/6/1 1:2:3").Rows(3).Text())},
        {"midnight",
         Text(test::TextRecording::MV31(1000).RowAt(86398).RowAt(86399).RowAt(86401).Text())},
    };

    // The exporters' targets read their inputs as fuzz_output does (the first byte's lowest
    // bit chooses the reader; fuzz_edf's next bit chooses BDF+ over EDF+).
    for (const auto& [name, bytes] : binary) {
        Put(out + "/fuzz_lqd", name, bytes);
        for (const char* target : {"/fuzz_output", "/fuzz_snirf", "/fuzz_edf"})
            Put(out + target, name, Prefixed(1, bytes));
        Put(out + "/fuzz_edf", name + "_bdf", Prefixed(3, bytes));
    }
    for (const auto& [name, bytes] : text) {
        Put(out + "/fuzz_csv", name, bytes);
        for (const char* target : {"/fuzz_output", "/fuzz_snirf", "/fuzz_edf"})
            Put(out + target, name, Prefixed(0, bytes));
        Put(out + "/fuzz_edf", name + "_bdf", Prefixed(2, bytes));
    }
    Put(out + "/fuzz_ini", "written",
        Text("[Form]\nTop=50\nLeft=100\nWidth=1100\nHeight=700\n[Settings]\nAmp=4\nAve=3\n"
             "Check1=0\nCheck2=0\nCheck3=1\nCheck4=1\n"));
    Put(out + "/fuzz_ini", "edited",
        Text(
            "; mine\r\n[form]\r\n top = 0x20 \r\n\r\n[Other]\r\nx=y\r\n[SETTINGS]\r\nAmp=big\r\n"));
    return 0;
}
