# The core's sources, relative to src/: shared by the build and the fuzzers.
set(TESMORA_CORE_SOURCES
    recording/byte_sink.cpp
    recording/byte_source.cpp
    recording/convert_error.cpp
    recording/datetime.cpp
    recording/load.cpp
    recording/lqd_reader.cpp
    recording/store.cpp
    recording/utf8.cpp
    processing/moving_average.cpp
    csv/body_parsers.cpp
    csv/conversions.cpp
    csv/csv_writer.cpp
    csv/header_parser.cpp
    csv/line_reader.cpp
)
