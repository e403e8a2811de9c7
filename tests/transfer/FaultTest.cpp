// A full disk, made with a small tmpfs in a mount namespace of the test's own.

#include "GameFolderFixture.h"

#include "transfer/Transfer.h"

#include <gtest/gtest.h>

using lodestow_test::FakeView;
using lodestow_test::MarkingCatalogue;
using Strings = std::vector<std::string>;

namespace {

class FullDiskTest : public lodestow_test::GameFolderTest {};

TEST_F(FullDiskTest, CopyThatDoesNotFitLeavesEverythingAsItWas) {
    testsupport::InOwnMountNamespace([&] {
        testsupport::MountTmpfs(Native("Maps"), 64 * 1024);
        Write("Maps/DM-A.unr", "old map");
        const std::string big(1 << 20, 'b');
        const std::string middle(200 * 1024, 'm');
        Write("Cache/cache.ini", "[Cache]\r\nK1=DM-A.unr\r\nK9=DM-B.unr\r\nK3=Sky.utx\r\n");
        Write("Cache/K1.uxx", big);
        Write("Cache/K9.uxx", middle);
        Write("Cache/K3.uxx", "sky");
        MarkingCatalogue catalogue;
        Load(catalogue);
        FakeView view;

        UnrealMOD::RunitClick(catalogue, view);

        EXPECT_EQ(catalogue.marks,
                  (Strings{"DM-A.unr:Errored", "DM-B.unr:Errored", "Sky.utx:YES"}));
        EXPECT_EQ(Names("Maps"), (Strings{"DM-A.unr"})); // no partial or temporary file
        EXPECT_EQ(Read("Maps/DM-A.unr"), "old map");
        EXPECT_EQ(Read("Cache/K1.uxx"), big);
        EXPECT_EQ(Read("Cache/K9.uxx"), middle);
        EXPECT_EQ(Read("Textures/Sky.utx"), "sky");
        EXPECT_EQ(Read("Cache/cache.ini"), "[Cache]\r\nK1=DM-A.unr\r\nK9=DM-B.unr\r\n\r\n");
        EXPECT_TRUE(view.problems.empty());
    });
}

TEST_F(FullDiskTest, RewriteThatDoesNotFitLeavesTheOldIndexWhole) {
    testsupport::InOwnMountNamespace([&] {
        testsupport::MountTmpfs(Native("Cache"), 64 * 1024);
        std::string index = "[Cache]\r\nK1=DM-A.unr\r\n";
        for (int i = 0; i < 1400; ++i) {
            index +=
                "S" + std::to_string(i) + "=SomeCodePackageNumber" + std::to_string(i) + ".u\r\n";
        }
        ASSERT_GT(index.size(), 40U * 1024);
        Write("Cache/cache.ini", index);
        Write("Cache/K1.uxx", "map");
        MarkingCatalogue catalogue;
        Load(catalogue);
        FakeView view;

        UnrealMOD::RunitClick(catalogue, view);

        EXPECT_EQ(Read("Maps/DM-A.unr"), "map");
        EXPECT_EQ(Read("Cache/cache.ini"), index);
        EXPECT_EQ(Names("Cache"), (Strings{"cache.ini"}));
        ASSERT_EQ(view.problems.size(), 1U);
        EXPECT_NE(view.problems[0].find("C:\\Game\\Cache\\Cache.ini"), std::string::npos);
        EXPECT_TRUE(view.enabled);
        EXPECT_FALSE(view.busy);
    });
}

} // namespace
