#include "read_crops.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>
#include <opencv2/imgcodecs.hpp>
#include <regex>

#include "base/atomic_file.h"
#include "base/parallel_for.h"
#include "base/read_error.h"
#include "scan/scan_pictures.h"

namespace varelo::cli {

namespace fs = std::filesystem;

namespace {

// What Windows, the SMB shares schools keep scans on and FAT sticks refuse in a file name.
bool UnsafeInFileName(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f || std::strchr("?*:\"<>|\\/", c) != nullptr;
}

}  // namespace

std::string CandidateInFileName(const std::string& candidate) {
    if (candidate.empty()) return "x";  // a page 2 without its page 1
    std::string name = candidate;
    std::replace_if(name.begin(), name.end(), UnsafeInFileName, 'x');
    return name;
}

std::vector<CropFile> PlanCrops(const layout::OmrTemplate& t,
                                const std::vector<read::ScanReading>& scans,
                                const std::vector<read::SheetResult>& sheets) {
    std::map<std::string, int> sheetsPerName;
    for (const read::SheetResult& s : sheets)
        if (s.status != read::SheetStatus::Error) ++sheetsPerName[CandidateInFileName(s.candidate)];

    std::vector<CropFile> out;
    for (const read::SheetResult& sheet : sheets) {
        if (sheet.status == read::SheetStatus::Error) continue;
        const std::string candidate = CandidateInFileName(sheet.candidate);
        // A name that is not the number as read, or that another sheet's crops share, could
        // meet another sheet's: the scan index makes it the sheet's own.
        const bool prefixed = candidate != sheet.candidate || sheetsPerName[candidate] > 1;
        const std::string stem =
            (prefixed ? std::to_string(sheet.scan + 1) + "-" : std::string()) + candidate;
        std::vector<size_t> sheetScans{sheet.scan};
        if (sheet.scan2) sheetScans.push_back(*sheet.scan2);
        for (const size_t scan : sheetScans) {
            const int page = scans[scan].registration.page;
            for (size_t r = 0; r < t.regions.size(); ++r) {
                const layout::OmrRegion& region = t.regions[r];
                if (region.rect.page != page) continue;
                std::string name = stem + "_" + std::to_string(region.item);
                if (region.part > 0) name += "-" + std::to_string(region.part);
                out.push_back({scan, r, name + ".png"});
            }
        }
    }
    return out;
}

bool MayBeCropName(const std::string& fileName) {
    static const std::regex crop(R"(([0-9]+-)?[0-9x]+_[0-9]+(-[0-9]+)?\.png)");
    return std::regex_match(fileName, crop);
}

std::optional<std::string> FindCropClash(const std::string& dir,
                                         const std::vector<NamedFile>& files) {
    for (const NamedFile& f : files) {
        const std::string name = fs::path(f.path).filename().string();
        if (!MayBeCropName(name)) continue;
        FileClashes clashes;
        clashes.Add(f);
        const NamedFile crop{"--crops", (fs::path(dir) / name).string()};
        if (const std::vector<NamedFile> same = clashes.Add(crop); !same.empty())
            return DescribeClash(crop, same.front());
    }
    return std::nullopt;
}

std::vector<std::string> WriteCrops(const layout::OmrTemplate& t,
                                    const std::vector<read::ScanSource>& sources,
                                    const std::vector<read::ScanReading>& scans,
                                    const std::vector<CropFile>& crops, const std::string& dir,
                                    int dpi, int pdfDpi, unsigned threads) {
    std::vector<std::vector<const CropFile*>> perScan(scans.size());
    for (const CropFile& c : crops) perScan[c.scan].push_back(&c);
    std::vector<std::string> errors(scans.size());
    host::ParallelFor(scans.size(), threads, [&](size_t i) {
        if (perScan[i].empty()) return;
        try {
            const cv::Mat grey = read::LoadScan(sources[i], pdfDpi);
            for (const CropFile* c : perScan[i]) {
                const cv::Mat picture =
                    read::RegionPicture(t.regions[c->region], scans[i], grey, dpi);
                std::vector<uchar> bytes;
                if (!cv::imencode(".png", picture, bytes))
                    throw host::SaveError("cannot encode " + c->name);
                host::SaveFileAtomically(
                    (fs::path(dir) / c->name).string(),
                    std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
            }
        } catch (const read::ReadError& e) {
            errors[i] = e.what();
        } catch (const cv::Exception& e) {
            errors[i] = e.what();
        } catch (const host::SaveError& e) {
            errors[i] = e.what();
        } catch (const std::bad_alloc&) {
            errors[i] = "not enough memory to cut the pictures";
        }
    });
    return errors;
}

}  // namespace varelo::cli
