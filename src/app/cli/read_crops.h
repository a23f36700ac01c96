#pragma once

#include <optional>
#include <string>
#include <vector>

#include "file_clash.h"
#include "omr/omr_template.h"
#include "scan/scan_reading.h"
#include "scan/scan_source.h"
#include "scan/sheet_results.h"

// The pictures of the written answers that `varelo read --crops DIR` cuts from the scans.
namespace varelo::cli {

// One region of one scan and the file its picture goes to, inside the crops folder.
struct CropFile {
    size_t scan = 0;    // index of the scan it is cut from
    size_t region = 0;  // index into the template's regions
    size_t sheet = 0;   // index of the sheet it belongs to
    // The path inside the crops folder: one folder per item, for marking one question for
    // every candidate: ITEM/CANDIDATE.png, a part of a composition split over page columns
    // ITEM/parts/CANDIDATE-PART.png, or N- before CANDIDATE.
    std::string name;
};

// A composition's parts of one sheet, one below the other in one picture, ITEM/CANDIDATE.png.
struct StitchedCrop {
    size_t sheet = 0;
    int item = 0;
    std::string name;
    std::vector<size_t> parts;  // indices into the plan's files, in the order of the parts
};

struct CropPlan {
    std::vector<CropFile> files;
    std::vector<StitchedCrop> stitched;
};

// The candidate number as file names carry it on every common file system: an unread digit
// ("?"), or any other character such a system refuses, becomes "x"; an unknown number is "x".
std::string CandidateInFileName(const std::string& candidate);

// The pictures to cut from the scans that were read: every region of the page each scan shows,
// named by the candidate number of the sheet it belongs to. The number goes first as read;
// when it has an unread digit (or is unknown, as for a page 2 without its page 1) or several
// sheets read the same number, the index of the sheet's first scan is put before it ("3-").
CropPlan PlanCrops(const layout::OmrTemplate& t, const std::vector<read::ScanReading>& scans,
                   const std::vector<read::SheetResult>& sheets);

// The crops folder's index, crops.csv: UTF-8 with a byte-order mark as the results, one row
// per picture written, by item and then in the sheets' order: 题号, 考号 (as read), 扫描 (the
// scans it is cut from), 文件 (its path in the folder). Pictures of scans that failed
// (failed[scan] not empty) are left out.
std::string CropsCsv(const layout::OmrTemplate& t, const std::vector<read::ScanReading>& scans,
                     const std::vector<read::SheetResult>& sheets, const CropPlan& plan,
                     const std::vector<std::string>& failed);

// The index's name inside the crops folder.
inline constexpr const char* kCropsIndex = "crops.csv";

// Whether a path inside the crops folder ("12/3-45x.png") could be a crop's, whatever the
// candidate numbers turn out to be.
bool MayBeCropName(const std::string& relativePath);

// The first of the files (inputs and other outputs) that a crop in dir could replace, as a
// message, before anything is read: crop names are only known once the scans are.
std::optional<std::string> FindCropClash(const std::string& dir,
                                         const std::vector<NamedFile>& files);

// Cuts and saves the planned pictures at dpi, loading each scan again (scans are not kept in
// memory between reading and cutting), threads at a time, then stitches the compositions from
// their parts' files. Returns per scan what went wrong, empty when nothing did.
std::vector<std::string> WriteCrops(const layout::OmrTemplate& t,
                                    const std::vector<read::ScanSource>& sources,
                                    const std::vector<read::ScanReading>& scans,
                                    const CropPlan& plan, const std::string& dir, int dpi,
                                    int pdfDpi, unsigned threads);

}  // namespace varelo::cli
