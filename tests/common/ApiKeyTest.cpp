// Where the data API's key is looked for and kept: the environment first, then the keyring, then
// the user's own file, which is never readable by anyone else.
#include "common/ApiKey.h"
#include "common/Keyring.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace velor {

TEST(ApiKey, FoundAndKeptInTheKeyringElseInAFileOnlyTheUserReads)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    qunsetenv("JQUANTS_API_KEY");
    const QString file = config.path() + "/velor/jquants-api-key";
    EXPECT_EQ(apiKeyFile(), file);

    MemoryKeyring keyring;
    KeyPlace place = KeyPlace::Keyring;
    EXPECT_EQ(readApiKey(&keyring, &place), QByteArray());
    EXPECT_EQ(place, KeyPlace::None);

    // No keyring answers: the file, made 0600 before the key is in it.
    keyring.available = false;
    auto stored = storeApiKey("  file-key-1 \n", &keyring);
    ASSERT_TRUE(stored.has_value()) << stored.error().toStdString();
    EXPECT_EQ(*stored, KeyPlace::File);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "file-key-1\n");
    EXPECT_EQ(f.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup | QFileDevice::WriteOther),
              QFileDevice::Permissions());
    EXPECT_EQ(readApiKey(&keyring, &place), "file-key-1");
    EXPECT_EQ(place, KeyPlace::File);

    // A keyring answers: the key goes there and the plain copy goes away.
    keyring.available = true;
    stored = storeApiKey("ring-key-2", &keyring);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(*stored, KeyPlace::Keyring);
    EXPECT_EQ(keyring.secret, QByteArray("ring-key-2"));
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(readApiKey(&keyring, &place), "ring-key-2");
    EXPECT_EQ(place, KeyPlace::Keyring);

    // The environment wins over both.
    qputenv("JQUANTS_API_KEY", " env-key-3 ");
    EXPECT_EQ(readApiKey(&keyring, &place), "env-key-3");
    EXPECT_EQ(place, KeyPlace::Environment);
    EXPECT_TRUE(apiKeyFromEnvironment());
    qunsetenv("JQUANTS_API_KEY");

    // An empty key removes it everywhere.
    ASSERT_TRUE(storeApiKey("", &keyring).has_value());
    EXPECT_FALSE(keyring.secret.has_value());
    EXPECT_EQ(readApiKey(&keyring, &place), QByteArray());

    // A folder where the file cannot be written: the error names the file, never the key.
    QTemporaryDir blocked;
    qputenv("XDG_CONFIG_HOME", blocked.path().toUtf8());
    QFile("/dev/null").link(blocked.path() + "/velor");   // "velor" is no folder
    const auto refused = storeApiKey("secret-key-4", nullptr);
    ASSERT_FALSE(refused.has_value());
    EXPECT_TRUE(refused.error().contains(blocked.path() + "/velor/jquants-api-key")) << refused.error().toStdString();
    EXPECT_FALSE(refused.error().contains("secret-key-4"));
}

} // namespace velor
