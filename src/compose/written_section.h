#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compose/written_flow.h"
#include "doc/application.h"
#include "exam/exam.h"

namespace varelo::layout {

// The heading of section `index` (from 0): its numeral (one after the last objective group's
// number, then one more per section), "、", its name and its points.
std::string WrittenHeading(const exam::Exam& exam, size_t index, host::Application& app);

// What a fill-in item's number cell holds ("11."), and an answer box's label ("18.（10分）").
std::string FillNumberText(int item);
std::string AnswerLabelText(int item, double points);

// Why the exam's sections cannot be laid out, fit to show the user; empty when they can.
std::string WrittenRefusalMessage(const exam::Exam& exam, const WrittenRefusal& refusal);

// Page-grid cells of an answer box's label in the box's first row.
host::CellRect AnswerLabelCells(const WrittenItem& box, const std::string& label,
                                const std::vector<double>& columnWidths);

// Font size of a composition grid's count marks ("100", "200" ...).
inline constexpr double kCountMarkSize = 6;

}  // namespace varelo::layout
