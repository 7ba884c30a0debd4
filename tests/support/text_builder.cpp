#include "support/text_builder.h"

#include <cstdio>

namespace tesmora::test {

std::string Hms(int s) {
    char t[16];
    s %= 86400;
    std::snprintf(t, sizeof t, "%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
    return t;
}

TextRecording TextRecording::MV31(int rate) {
    TextRecording r;
    r.model_ = 1;
    r.rate_ = rate;
    r.lines_ = {"S/N,MV31-0012,RATE," + std::to_string(rate), "START 2021/06/01 09:30:00",
                "END 2021/06/01 10:30:00", ",,CH1", "TIME,SEQ,ERROR,OXHb,DXHb,TOHb,Sto2"};
    return r;
}

TextRecording TextRecording::Pc48(int rate) {
    TextRecording r;
    r.model_ = 3;
    r.rate_ = rate;
    r.lines_ = {"S/N,Pc48-0003,RATE," + std::to_string(rate), "START 2021/06/01 09:30:00",
                "END 2021/06/01 10:30:00", ",,,,CH1",
                "TIME,SEQ,PROBE,TEMP,ERROR,OXHb,DXHb,TOHb,Sto2"};
    return r;
}

TextRecording TextRecording::Pc56(int rate) {
    TextRecording r;
    r.model_ = 4;
    r.rate_ = rate;
    r.lines_ = {"S/N,Pc56-0001,RATE," + std::to_string(rate) + ",ID,A12,NAME,P12",
                "START 2021/06/01 09:30:00", "END 2021/06/01 10:30:00", ",,,CH1,,,,,CH2,,,,,CH3",
                "TIME,SEQ,BATT[V],ERROR,OXHb,DXHb,TOHb,Sto2,ERROR,OXHb,DXHb,TOHb,Sto2,ERROR,OXHb,"
                "DXHb,TOHb,Sto2"};
    return r;
}

TextRecording& TextRecording::Head(int k, std::string line) {
    lines_[static_cast<std::size_t>(k)] = std::move(line);
    return *this;
}

TextRecording& TextRecording::Row(std::string line) {
    lines_.push_back(std::move(line));
    return *this;
}

TextRecording& TextRecording::RowAt(int s, int seq) {
    const std::string head = Hms(s) + "," + std::to_string(seq);
    const std::string values = " 0.1234,-0.0500, 0.0734, 65.43"; // empty mark before them
    if (model_ == 1) return Row(head + ",," + values);
    if (model_ == 3) return Row(head + ",,36.5,," + values);
    return Row(head + ",3.7,," + values + ",," + values + ",," + values);
}

TextRecording& TextRecording::Rows(int n) {
    const int perSecond = rate_ == 500 ? 2 : 1;
    for (int k = 0; k < n; ++k) RowAt(k / perSecond, k);
    return *this;
}

std::string TextRecording::Text(const std::string& eol, bool lastEol) const {
    std::string out;
    for (std::size_t k = 0; k < lines_.size(); ++k) {
        out += lines_[k];
        if (lastEol || k + 1 < lines_.size()) out += eol;
    }
    return out;
}

} // namespace tesmora::test
