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
    std::string name;   // CANDIDATE_ITEM.png, CANDIDATE_ITEM-PART.png, or N- before them
};

// The candidate number as file names carry it on every common file system: an unread digit
// ("?"), or any other character such a system refuses, becomes "x"; an unknown number is "x".
std::string CandidateInFileName(const std::string& candidate);

// The pictures to cut from the scans that were read: every region of the page each scan shows,
// named by the candidate number of the sheet it belongs to. The number goes first as read;
// when it has an unread digit (or is unknown, as for a page 2 without its page 1) or several
// sheets read the same number, the index of the sheet's first scan is put before it ("3-").
std::vector<CropFile> PlanCrops(const layout::OmrTemplate& t,
                                const std::vector<read::ScanReading>& scans,
                                const std::vector<read::SheetResult>& sheets);

// Whether a file name could be a crop's, whatever the candidate numbers turn out to be.
bool MayBeCropName(const std::string& fileName);

// The first of the files (inputs and other outputs) that a crop in dir could replace, as a
// message, before anything is read: crop names are only known once the scans are.
std::optional<std::string> FindCropClash(const std::string& dir,
                                         const std::vector<NamedFile>& files);

// Cuts and saves the planned pictures at dpi, loading each scan again (scans are not kept in
// memory between reading and cutting), threads at a time. Returns per scan what went wrong,
// empty when nothing did.
std::vector<std::string> WriteCrops(const layout::OmrTemplate& t,
                                    const std::vector<read::ScanSource>& sources,
                                    const std::vector<read::ScanReading>& scans,
                                    const std::vector<CropFile>& crops, const std::string& dir,
                                    int dpi, int pdfDpi, unsigned threads);

}  // namespace varelo::cli
