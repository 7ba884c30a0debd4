#pragma once
// Text recordings composed in code, for the tests: the five head lines of a model, then rows.

#include <string>
#include <vector>

namespace tesmora::test {

class TextRecording {
public:
    /// "S/N,MV31-0012,RATE,500", START 2021/06/01 09:30:00, END 10:30:00, ",,CH1", titles.
    static TextRecording MV31(int rate = 500);
    /// As MV31 with nine columns: TIME,SEQ,-,TEMP,ERROR and the four values.
    static TextRecording Pc48(int rate = 500);
    /// "S/N,Pc56-0001,RATE,500,ID,A12,NAME,P12", the three-channel marks and titles.
    static TextRecording Pc56(int rate = 500);

    /// Replaces head line k (0 header, 1 start, 2 end, 3 channels, 4 titles).
    TextRecording& Head(int k, std::string line);
    TextRecording& Row(std::string line);
    /// A valid row of the model at elapsed second `s` with a sequence number.
    TextRecording& RowAt(int s, int seq = 0);
    /// n valid rows, two per second (for 500 ms) or one per second.
    TextRecording& Rows(int n);
    /// The file: every line ended by eol (the last one too unless lastEol is false).
    std::string Text(const std::string& eol = "\r\n", bool lastEol = true) const;

private:
    int model_ = 1;
    int rate_ = 500;
    std::vector<std::string> lines_;
};

/// "hh:mm:ss" of s seconds within a day.
std::string Hms(int s);

} // namespace tesmora::test
