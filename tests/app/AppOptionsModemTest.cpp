#include "app/AppOptions.h"

#include <gtest/gtest.h>

TEST(AppOptions, ModemIsRepeatableAndNeedsAPath)
{
    QString error;
    const auto options =
        AppOptions::parse({"tarnwicker", "--modem", "/dev/ttyACM3", "--headless", "--modem", "/dev/pts/4"}, &error);
    ASSERT_TRUE(options.has_value()) << error.toStdString();
    EXPECT_EQ(options->modems, (QStringList{"/dev/ttyACM3", "/dev/pts/4"}));
    EXPECT_FALSE(AppOptions::parse({"tarnwicker", "--modem"}, &error).has_value());
    EXPECT_EQ(error, QStringLiteral("--modem needs a value"));
    EXPECT_TRUE(AppOptions::usage().contains(QStringLiteral("--modem PATH")));
}
