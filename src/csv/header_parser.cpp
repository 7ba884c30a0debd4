#include "csv/conversions.h"
#include "csv/line_buffer.h"

namespace tesmora {

std::uint8_t ParseHeaderLine(const LINE_BUFF_TYPE& lb, RecordingStore& store) {
    store.DataType = 0;
    std::uint8_t result = 0;
    if (lb.cn < 3) return 1;
    if (lb.Field(0) != "S/N") return 0; // rejected by the next line: no model was selected

    unsigned mask = 1;
    const std::string_view serial = lb.Field(1);
    if (serial.size() > 1) {
        store.SerialNo = std::string(serial);
        const std::string_view tag = serial.substr(0, 4);
        if (tag == "MV31")
            store.DataType = 1;
        else if (tag == "Pc48")
            store.DataType = 3;
        else if (tag == "Pc56")
            store.DataType = 4;
        else
            result = 1;
        mask |= 2;
    }
    if (lb.Field(2) == "RATE") mask |= 4;
    if (lb.Field(3).size() > 1) {
        const std::int32_t rate = ConvertInteger(lb.Field(3));
        if (rate >= 500 && rate <= 1000) {
            store.Rate = rate;
            mask |= 8;
        }
    }
    if (mask != 15) result = 1;

    store.PatientID.clear();
    store.PatientName.clear();
    if (lb.cn >= 5 && !lb.Field(5).empty() && lb.Field(4) == "ID")
        store.PatientID = std::string(lb.Field(5));
    if (lb.cn >= 7 && !lb.Field(7).empty() && lb.Field(6) == "NAME")
        store.PatientName = std::string(lb.Field(7));
    return result;
}

} // namespace tesmora
