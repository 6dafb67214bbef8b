#pragma once
// The data API's key, kept outside every settings file: the environment's JQUANTS_API_KEY (as the
// exchange's own client reads it) or a file of the user's config folder that only they can read.
#include <QByteArray>
#include <QString>
#include <expected>

namespace velor {

/// $XDG_CONFIG_HOME/velor/jquants-api-key (by default ~/.config/velor/jquants-api-key).
QString apiKeyFile();

/// JQUANTS_API_KEY when set and not blank, else the key file's first line; empty when neither.
QByteArray readApiKey();

/// Whether the key in use comes from the environment (a stored key is then not used).
bool apiKeyFromEnvironment();

/// Stores the key in the key file, created readable and writable by the user alone before a byte
/// of the key is written, and checked to its last byte before it replaces the old one. An empty
/// key removes the file. The error names the file, never the key.
std::expected<void, QString> storeApiKey(const QByteArray &key);

} // namespace velor
