#include "platform/SingleInstance.h"

#include <QUuid>
#include <gtest/gtest.h>

namespace {

TEST(SingleInstance, SecondTakeOfANameFailsAndOtherNamesAreFree)
{
    const QString name = QStringLiteral("marvolen-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    EXPECT_TRUE(platform::CreateSingleInstanceMutex(name));
    EXPECT_FALSE(platform::CreateSingleInstanceMutex(name));
    EXPECT_TRUE(platform::CreateSingleInstanceMutex(name + QStringLiteral("-other")));
    EXPECT_TRUE(platform::SingleInstanceAddress(name).startsWith(name));
}

} // namespace
