#pragma once
// The data API's key, kept outside every settings file: the environment's JQUANTS_API_KEY (as the
// exchange's own client reads it), the desktop's keyring, or, where no keyring answers, a file of
// the user's config folder that only they can read.
#include <QByteArray>
#include <QString>
#include <expected>

namespace velor {

/// $XDG_CONFIG_HOME/velor/jquants-api-key (by default ~/.config/velor/jquants-api-key).
QString apiKeyFile();

class Keyring;

/// Where a key was found or stored.
enum class KeyPlace { None, Environment, Keyring, File };

/// JQUANTS_API_KEY when set and not blank, else the keyring's key (when `keyring` is given and
/// answers), else the key file's first line; empty (KeyPlace::None) when none holds one.
QByteArray readApiKey(Keyring *keyring = nullptr, KeyPlace *place = nullptr);

/// Whether the key in use comes from the environment (a stored key is then not used).
bool apiKeyFromEnvironment();

/// Stores the key in the keyring when one answers (and removes the key file, so that no plain copy
/// stays behind), else in the key file, created readable and writable by the user alone before a
/// byte of the key is written and checked to its last byte before it replaces the old one. An
/// empty key removes it from both. The error names the file, never the key.
std::expected<KeyPlace, QString> storeApiKey(const QByteArray &key, Keyring *keyring = nullptr);

} // namespace velor
