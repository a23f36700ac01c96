#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/application.h"
#include "layout/sheet_form.h"
#include "layout/written_flow.h"

namespace varelo::layout {

// The kind's name as the settings and the scanner template spell it: "填空", "解答", "作文".
const char* SectionKindName(SectionKind kind);

// Where the written sections start on a sheet of this form: below the objective groups that
// the form's list places (or where the first group would stand), and the item number after
// theirs.
WrittenStart WrittenSectionsStart(int16_t layoutCode, const SheetForm& form);

// The plan of the form's sections on a sheet whose page grid has these column widths.
WrittenPlan PlanFormSections(int16_t layoutCode, const SheetForm& form,
                             const std::vector<double>& columnWidths);

// The heading of section `index` (from 0): its numeral (one after the last objective group's
// number, then one more per section), "、", its name and its points.
std::string WrittenHeading(const SheetForm& form, size_t index, host::Application& app);

// What a fill-in item's number cell holds ("11."), and an answer box's label ("18.（10分）").
std::string FillNumberText(int item);
std::string AnswerLabelText(int item, double points);

// Why the form's sections cannot be laid out, fit to show the user; empty when they can.
std::string WrittenRefusalMessage(const SheetForm& form, const WrittenRefusal& refusal);

// Page-grid cells of an answer box's label in the box's first row.
host::CellRect AnswerLabelCells(const WrittenItem& box, const std::string& label,
                                const std::vector<double>& columnWidths);

// Font size of a composition grid's count marks ("100", "200" ...).
inline constexpr double kCountMarkSize = 6;

}  // namespace varelo::layout
