#include "app/file_filters.h"

namespace orvane::app {

namespace {

constexpr FileFilter kFilters[] = {
    {"Known fax types",
     "*.tif;*.tiff;*.fmf;*.fxd;*.fxr;*.fxs;*.fxm;*.dcx;*.qfx;*.bfx;*.awd;*.apf;*.g3f;*.g3n;*.g3;"
     "*.g4;*.mh;*.mr;*.mmr"},
    {"Apro fax(*.apf)", "*.apf"},
    {"Tiff fax(*.tif,*.tiff)", "*.tif;*.tiff"},
    {"WinFax fax(*.fxd,*.fxr,*.fxs,*.fxm)", "*.fxd;*.fxr;*.fxs;*.fxm"},
    {"FaxWizard fax(*.fmf)", "*.fmf"},
    {"Bitware fax(*.bfx)", "*.bfx"},
    {"Dcx fax(*.dcx)", "*.dcx"},
    {"Quick Link II fax(*.qfx)", "*.qfx"},
    {"Ms at work fax(*.awd)", "*.awd"},
    {"Zetafax(*.g3f,*.g3n)", "*.g3f;*.g3n"},
    {"Other fax files(*.*)", "*.*"},
};

}  // namespace

std::span<const FileFilter> open_file_filters() {
  return kFilters;
}

QStringList open_name_filters() {
  QStringList filters;
  for (const FileFilter& f : kFilters) {
    QString patterns = QString::fromLatin1(f.patterns);
    // "*.*" means every file, also those without a dot in their name.
    patterns =
        patterns == QStringLiteral("*.*") ? QStringLiteral("*") : patterns.replace(u';', u' ');
    filters << QStringLiteral("%1 (%2)").arg(QString::fromLatin1(f.description), patterns);
  }
  return filters;
}

}  // namespace orvane::app
