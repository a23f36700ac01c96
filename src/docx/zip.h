#pragma once

// A minimal zip writer over zlib, for the package the .docx writer builds in memory.
// Parts are deflated as they are streamed in, so the large document part never has to
// exist as a whole; libzip, which the reader uses, cost more than the compression itself
// for the same job (see bench/bench_docx.cpp). Internal to the host library.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varelo::host::docx {

// A part deflated ahead of time, ready to go into any number of packages unchanged.
struct DeflatedPart {
    std::string data;  // raw deflate
    uint32_t crc = 0;
    uint64_t size = 0;  // inflated
};
DeflatedPart DeflatePart(std::string_view data, int level);

class ZipWriter {
  public:
    explicit ZipWriter(int level);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // A streamed entry, deflated: Begin, any number of Write, End.
    void Begin(std::string_view name);
    void Write(std::string_view data);
    void End();
    // A whole entry: deflated, or stored when it is below kStoreBelow bytes.
    void Add(std::string_view name, std::string_view data);
    void Add(std::string_view name, const DeflatedPart& part);
    // A whole entry stored as it is: for data deflated already (PNG, JPEG).
    void AddStored(std::string_view name, std::string_view data);

    // Small parts are little markup that repeats little: zlib spends about 5 ns a byte on them
    // against about 1.3 on the page grid, and 10 µs or more a part in fixed costs. The two a
    // sheet has between 1 and 4 KB (content types, styles) cost 50 µs, a tenth of deflating
    // the whole grid, to save 2.6 KB: below this size a part is stored as it is.
    static constexpr size_t kStoreBelow = 4096;

    // The central directory is appended and the archive's bytes handed over.
    std::string Finish();

  private:
    struct Entry {
        std::string name;
        uint32_t crc = 0;
        uint64_t compressed = 0, size = 0;
        uint64_t offset = 0;
        uint16_t method = 0;
    };
    void LocalHeader(std::string_view name, uint16_t method);
    // The entry's crc and sizes, into its local header.
    void Seal(Entry& e);
    void Deflate(int flush);
    // Room for n more bytes at used_.
    char* Reserve(size_t n);
    void Put16(uint16_t v);
    void Put32(uint32_t v);
    void PutBytes(std::string_view s);
    void Patch32(size_t at, uint32_t v);

    z_stream* z_;  // this thread's kept stream, or own_
    z_stream own_{};
    bool ownStream_ = false;
    bool open_ = false;
    std::vector<Entry> entries_;
    std::string out_;  // sized ahead; bytes past used_ are scratch
    size_t used_ = 0;
};

}  // namespace varelo::host::docx
