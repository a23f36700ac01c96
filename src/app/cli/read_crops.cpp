#include "read_crops.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>
#include <opencv2/imgcodecs.hpp>
#include <regex>
#include <set>
#include <tuple>

#include "base/atomic_file.h"
#include "base/parallel_for.h"
#include "base/printable.h"
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

// A field of the index as the results write theirs: shown as text, never as a formula, and
// quoted when it must be.
std::string CsvField(const std::string& text) {
    const std::string s = host::SpreadsheetText(text);
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string out = "\"";
    for (const char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

void SavePicture(const fs::path& path, const cv::Mat& picture) {
    std::vector<uchar> bytes;
    if (!cv::imencode(".png", picture, bytes))
        throw host::SaveError("cannot encode " + path.string());
    host::SaveFileAtomically(
        path.string(), std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// The parts one below the other, in the order given, left-aligned on white.
cv::Mat StackParts(const std::vector<cv::Mat>& parts) {
    int width = 0, height = 0;
    for (const cv::Mat& p : parts) {
        width = std::max(width, p.cols);
        height += p.rows;
    }
    cv::Mat out(height, width, CV_8UC1, cv::Scalar(255));
    int y = 0;
    for (const cv::Mat& p : parts) {
        p.copyTo(out(cv::Rect(0, y, p.cols, p.rows)));
        y += p.rows;
    }
    return out;
}

}  // namespace

std::string CandidateInFileName(const std::string& candidate) {
    if (candidate.empty()) return "x";  // a page 2 without its page 1
    std::string name = candidate;
    std::replace_if(name.begin(), name.end(), UnsafeInFileName, 'x');
    return name;
}

CropPlan PlanCrops(const layout::OmrTemplate& t, const std::vector<read::ScanReading>& scans,
                   const std::vector<read::SheetResult>& sheets) {
    std::map<std::string, int> sheetsPerName;
    for (const read::SheetResult& s : sheets)
        if (s.status != read::SheetStatus::Error) ++sheetsPerName[CandidateInFileName(s.candidate)];

    CropPlan plan;
    for (size_t index = 0; index < sheets.size(); ++index) {
        const read::SheetResult& sheet = sheets[index];
        // An absent candidate's sheet has no answers to mark.
        if (sheet.status == read::SheetStatus::Error || sheet.status == read::SheetStatus::Absent)
            continue;
        const std::string candidate = CandidateInFileName(sheet.candidate);
        // A name that is not the number as read, or that another sheet's crops share, could
        // meet another sheet's: the scan index makes it the sheet's own.
        const bool prefixed = candidate != sheet.candidate || sheetsPerName[candidate] > 1;
        const std::string stem =
            (prefixed ? std::to_string(sheet.scan + 1) + "-" : std::string()) + candidate;
        std::vector<size_t> sheetScans{sheet.scan};
        if (sheet.scan2) sheetScans.push_back(*sheet.scan2);
        // The parts of each composition, wherever the sheet's scans hold them.
        std::map<int, StitchedCrop> compositions;
        for (const size_t scan : sheetScans) {
            const int page = scans[scan].registration.page;
            for (size_t r = 0; r < t.regions.size(); ++r) {
                const layout::OmrRegion& region = t.regions[r];
                if (region.rect.page != page) continue;
                const std::string item = std::to_string(region.item);
                if (region.part == 0) {
                    plan.files.push_back({scan, r, index, item + "/" + stem + ".png"});
                    continue;
                }
                plan.files.push_back(
                    {scan, r, index,
                     item + "/parts/" + stem + "-" + std::to_string(region.part) + ".png"});
                StitchedCrop& whole = compositions[region.item];
                whole.sheet = index;
                whole.item = region.item;
                whole.name = item + "/" + stem + ".png";
                whole.parts.push_back(plan.files.size() - 1);
            }
        }
        for (auto& [item, whole] : compositions) {
            std::sort(whole.parts.begin(), whole.parts.end(), [&](size_t a, size_t b) {
                return t.regions[plan.files[a].region].part < t.regions[plan.files[b].region].part;
            });
            plan.stitched.push_back(std::move(whole));
        }
    }
    return plan;
}

std::string CropsCsv(const layout::OmrTemplate& t, const std::vector<read::ScanReading>& scans,
                     const std::vector<read::SheetResult>& sheets, const CropPlan& plan,
                     const std::vector<std::string>& failed) {
    struct Row {
        int item = 0;
        size_t sheet = 0;
        int part = 0;  // the stitched picture (0) before its parts
        std::vector<size_t> scans;
        std::string file;
    };
    std::vector<Row> rows;
    const auto written = [&](const std::vector<size_t>& from) {
        return std::all_of(from.begin(), from.end(), [&](size_t s) { return failed[s].empty(); });
    };
    for (const CropFile& f : plan.files) {
        const layout::OmrRegion& region = t.regions[f.region];
        if (written({f.scan}))
            rows.push_back({region.item, f.sheet, region.part, {f.scan}, f.name});
    }
    for (const StitchedCrop& s : plan.stitched) {
        std::vector<size_t> from;
        for (const size_t p : s.parts)
            if (std::find(from.begin(), from.end(), plan.files[p].scan) == from.end())
                from.push_back(plan.files[p].scan);
        if (written(from)) rows.push_back({s.item, s.sheet, 0, from, s.name});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return std::tie(a.item, a.sheet, a.part) < std::tie(b.item, b.sheet, b.part);
    });
    std::string out = "\xEF\xBB\xBF";  // as the results: spreadsheet programs then read UTF-8
    out += "题号,考号,扫描,文件\r\n";
    for (const Row& r : rows) {
        std::string from;
        for (const size_t s : r.scans) from += (from.empty() ? "" : " + ") + scans[s].name;
        out += std::to_string(r.item) + "," + CsvField(sheets[r.sheet].candidate) + "," +
               CsvField(from) + "," + CsvField(r.file) + "\r\n";
    }
    return out;
}

bool MayBeCropName(const std::string& relativePath) {
    static const std::regex crop(
        R"([0-9]+/(([0-9]+-)?[0-9x]+|parts/([0-9]+-)?[0-9x]+-[0-9]+)\.png)");
    return std::regex_match(relativePath, crop);
}

std::optional<std::string> FindCropClash(const std::string& dir,
                                         const std::vector<NamedFile>& files) {
    for (const NamedFile& f : files) {
        // The file's last two or three names, as a path inside the crops folder.
        std::vector<std::string> names;
        for (const fs::path& p : fs::path(f.path)) names.push_back(p.string());
        std::vector<std::string> tails{fs::path(f.path).filename().string()};
        for (size_t n = 2; n <= 3 && n <= names.size(); ++n) {
            std::string tail;
            for (size_t i = names.size() - n; i < names.size(); ++i)
                tail += (tail.empty() ? "" : "/") + names[i];
            tails.push_back(tail);
        }
        for (const std::string& tail : tails) {
            if (tail != kCropsIndex && !MayBeCropName(tail)) continue;
            FileClashes clashes;
            clashes.Add(f);
            const NamedFile crop{"--crops", (fs::path(dir) / tail).string()};
            if (const std::vector<NamedFile> same = clashes.Add(crop); !same.empty())
                return DescribeClash(crop, same.front());
        }
    }
    return std::nullopt;
}

std::vector<std::string> WriteCrops(const layout::OmrTemplate& t,
                                    const std::vector<read::ScanSource>& sources,
                                    const std::vector<read::ScanReading>& scans,
                                    const CropPlan& plan, const std::string& dir, int dpi,
                                    int pdfDpi, unsigned threads) {
    std::vector<std::string> errors(scans.size());
    // Every item's folder first, one at a time.
    std::set<fs::path> folders;
    for (const CropFile& c : plan.files) folders.insert((fs::path(dir) / c.name).parent_path());
    for (const fs::path& folder : folders) {
        std::error_code failed;
        fs::create_directories(folder, failed);
        if (failed) {
            for (const CropFile& c : plan.files)
                errors[c.scan] = "cannot create " + folder.string() + ": " + failed.message();
            return errors;
        }
    }

    std::vector<std::vector<const CropFile*>> perScan(scans.size());
    for (const CropFile& c : plan.files) perScan[c.scan].push_back(&c);
    host::ParallelFor(scans.size(), threads, [&](size_t i) {
        if (perScan[i].empty()) return;
        try {
            const cv::Mat grey = read::LoadScan(sources[i], pdfDpi);
            for (const CropFile* c : perScan[i])
                SavePicture(fs::path(dir) / c->name,
                            read::RegionPicture(t.regions[c->region], scans[i], grey, dpi));
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

    // A composition whose parts were all cut is stitched from their files: a sheet's parts may
    // come from both of its scans, which are never in memory together.
    std::vector<std::string> stitchErrors(plan.stitched.size());
    host::ParallelFor(plan.stitched.size(), threads, [&](size_t i) {
        const StitchedCrop& whole = plan.stitched[i];
        for (const size_t p : whole.parts)
            if (!errors[plan.files[p].scan].empty()) return;
        try {
            std::vector<cv::Mat> parts;
            for (const size_t p : whole.parts) {
                parts.push_back(cv::imread((fs::path(dir) / plan.files[p].name).string(),
                                           cv::IMREAD_GRAYSCALE));
                if (parts.back().empty())
                    throw host::SaveError("cannot read back " + plan.files[p].name);
            }
            SavePicture(fs::path(dir) / whole.name, StackParts(parts));
        } catch (const cv::Exception& e) {
            stitchErrors[i] = e.what();
        } catch (const host::SaveError& e) {
            stitchErrors[i] = e.what();
        } catch (const std::bad_alloc&) {
            stitchErrors[i] = "not enough memory to stitch " + whole.name;
        }
    });
    for (size_t i = 0; i < plan.stitched.size(); ++i) {
        const size_t scan = plan.files[plan.stitched[i].parts.front()].scan;
        if (!stitchErrors[i].empty() && errors[scan].empty()) errors[scan] = stitchErrors[i];
    }
    return errors;
}

}  // namespace varelo::cli
