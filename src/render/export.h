#pragma once

#include <functional>
#include <string>
#include <vector>

#include "doc/document.h"

class QPrinter;

namespace varelo::render {

// Vector PDF of the document, one PDF page per sheet page, fonts embedded.
// Throws std::runtime_error with the reason when the file cannot be written.
void ExportPdf(const host::Document& doc, const std::string& path);

// Numbered copies in one PDF: count times the document's pages, copy 1 first. Before each copy
// prepare(copy), copy from 1, makes the document that copy (its pictures changed, nothing that
// moves); progress(done, count) follows each copy. Throws std::runtime_error as ExportPdf does.
void ExportPdfCopies(const host::Document& doc, int count, const std::function<void(int)>& prepare,
                     const std::string& path,
                     const std::function<void(size_t, size_t)>& progress = {});

// One PNG per page: prefix + "-1.png", prefix + "-2.png", ...; returns the paths written.
std::vector<std::string> ExportPng(const host::Document& doc, const std::string& prefix,
                                   int dpi = 150);

// Prints every page, or the printer's page range, on the printer as it is set up. Give the
// printer the document's page size and full-page mode for a print at 1:1; on other paper each
// page is fitted to the printable area. Throws std::runtime_error when printing fails.
void Print(const host::Document& doc, QPrinter& printer);

}  // namespace varelo::render
