// Writes the statistics export's template: an .xlsx workbook whose first sheet carries the
// title in row 1; the export fills rows from 2.
#include <xlsxwriter.h>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    lxw_workbook* wb = workbook_new(argv[1]);
    if (!wb) return 1;
    // A fixed creation date instead of the build's: exports copy the template's document
    // properties, and an export must not depend on when or where its program was built.
    lxw_doc_properties properties = {};
    properties.created = 1767225600;  // 2026-01-01 00:00 UTC
    workbook_set_properties(wb, &properties);
    lxw_worksheet* sheet = workbook_add_worksheet(wb, "考勤统计");
    lxw_format* title = workbook_add_format(wb);
    format_set_bold(title);
    format_set_font_size(title, 14);
    worksheet_write_string(sheet, 0, 0, "Tallyra 考勤统计", title);
    worksheet_set_column(sheet, 0, 5, 14, nullptr);
    return workbook_close(wb) == LXW_NO_ERROR ? 0 : 1;
}
