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

TEST(AppOptions, GraphNeedsItsRangeAndFile)
{
    QString error;
    const auto options = AppOptions::parse(
        {"tarnwicker", "--graph", "10.0.0.1:机房", "--range", "10d", "--out", "/tmp/g.png", "--data-dir", "/d"},
        &error);
    ASSERT_TRUE(options.has_value()) << error.toStdString();
    EXPECT_EQ(options->graphKey, QStringLiteral("10.0.0.1:机房"));
    EXPECT_EQ(options->graphRange, QStringLiteral("10d"));
    EXPECT_EQ(options->graphOut, QStringLiteral("/tmp/g.png"));
    EXPECT_FALSE(AppOptions::parse({"tarnwicker", "--graph", "k", "--out", "/tmp/g.png"}, &error).has_value());
    EXPECT_EQ(error, QStringLiteral("--graph, --range and --out go together"));
}

TEST(AppOptions, MetricsTakesAPortAndOptionallyAnAddress)
{
    QString error;
    const auto local = AppOptions::parse({"tarnwicker", "--metrics", "9464"}, &error);
    ASSERT_TRUE(local.has_value()) << error.toStdString();
    ASSERT_TRUE(local->metrics.has_value());
    EXPECT_EQ(local->metrics->listening(), QStringLiteral("127.0.0.1:9464"));
    const auto named = AppOptions::parse({"tarnwicker", "--metrics", "0.0.0.0:9464"}, &error);
    ASSERT_TRUE(named.has_value()) << error.toStdString();
    EXPECT_EQ(named->metrics->listening(), QStringLiteral("0.0.0.0:9464"));
    EXPECT_FALSE(AppOptions::parse({"tarnwicker"}, &error)->metrics.has_value());
    EXPECT_FALSE(AppOptions::parse({"tarnwicker", "--metrics", "monitor.invalid:9464"}, &error).has_value());
    EXPECT_EQ(error, QStringLiteral("--metrics needs [ADDRESS:]PORT, not monitor.invalid:9464"));
    EXPECT_TRUE(AppOptions::usage().contains(QStringLiteral("--metrics [ADDRESS:]PORT")));
}
