#pragma once
// Datagram parser inputs: datagrams each after a 2-byte little-endian length (the last takes the rest).
#include <QByteArray>
#include <cstddef>
#include <cstdint>

template <class Handle>
void forEachDatagram(const uint8_t *data, size_t size, Handle handle)
{
    size_t at = 0;
    while (at + 2 <= size) {
        const size_t length = size_t(data[at]) | size_t(data[at + 1]) << 8;
        at += 2;
        const size_t take = length < size - at ? length : size - at;
        handle(QByteArray(reinterpret_cast<const char *>(data + at), int(take)));
        at += take;
    }
}
