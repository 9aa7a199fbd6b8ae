// The five tables of a store as packets: equal packets mean equal records, counters and fields.
#pragma once

#include <array>
#include <string>

#include "data_module.h"
#include "stream.h"
#include "table_packet.h"

namespace velmora::app::testing {

inline std::array<std::string, 5> TablePackets(store::TDataModule1& store) {
    std::array<std::string, 5> out;
    for (std::size_t t = 0; t < out.size(); ++t) {
        store::TMemoryStream stream;
        store::SaveTableToStream(*store.Tables()[t], stream);
        out[t] = stream.Bytes();
    }
    return out;
}

}  // namespace velmora::app::testing
