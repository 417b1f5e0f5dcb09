#pragma once
// The words read of each fax file, kept under the user's cache folder
// (words/<SHA-256 of the file's contents>.json) so that searching the same
// fax again, under any name, reads no page twice. A file holds the pages
// read so far; it is written whole or not at all.
#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

#include "app/find_words.h"
#include "core/fax_file.h"

namespace orvane::app {

// What the words of a file depend on besides its contents: the OCR language
// and the decoding parameters (bare data is cut into other pages with
// others).
struct WordCacheKey {
  QByteArray digest;  // SHA-256 of the contents, in hex
  QString language;
  QString parameters;
  int page_count = 0;
};

// The folder the word files are kept in.
QString word_cache_folder();

// The SHA-256 of the file's contents in hex; empty when it cannot be read
// or `stop` said so between two blocks.
QByteArray file_digest(const QString& path, const std::function<bool()>& stop);

// The parameters as the cache keeps them, one text.
QString parameters_text(const DecodingParameters& params);

// The pages kept for `key` in `folder` (page_count of them, those not read
// then empty); nothing when there is no file for it, or the file was made
// for another language, other parameters or another page count, or is
// damaged.
std::optional<FaxWords> read_word_cache(const QString& folder, const WordCacheKey& key);

// Keeps `pages` for `key`; false when the file could not be written.
bool write_word_cache(const QString& folder, const WordCacheKey& key, const FaxWords& pages);

}  // namespace orvane::app
