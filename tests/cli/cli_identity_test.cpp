// trawlkit-cli in-process against the local test server: a login written in a URL, and a file
// over the project's maximum size.
#include <gtest/gtest.h>

#include <sstream>

#include "support/cli_fixture.h"
#include "support/test_servers.h"

namespace tk::cli {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// The CLI's fixture, through the real internet layer with a cache folder of its own.
class CliIdentity : public Cli {
 protected:
  CliIdentity() { context.backend = &network; }

  TempDir cache;
  LibraryBackend network{{cache.Path() / "trawlkit", {}}};
};

TEST_F(CliIdentity, APasswordInAUrlReachesTheServerOnlyAndTheProjectAsksAgain) {
  auto server = test::HttpTestServer::Start();
  const std::string rest = "127.0.0.1:" + std::to_string(server->Port()) + "/__/basic?user=bob&pw64=czNjcmV0";
  const std::string project = (save / "job.tkp").string();
  EXPECT_EQ(Run({"-u", "http://bob:s3cret@" + rest, "-d", save.Path().string(), "--dry-run"}), kExitOk);
  EXPECT_NE(out.str().find("\nhttp://bob@" + rest + "\n"), std::string::npos) << out.str();
  EXPECT_EQ(out.str().find("s3cret"), std::string::npos);

  EXPECT_EQ(Run({"-u", "http://bob:s3cret@" + rest, "-d", save.Path().string(), "--save-project", project}), kExitOk)
      << err.str();
  EXPECT_NE(out.str().find("http://bob@" + rest + "(OK:Saved as[basic.htm])\r\n"), std::string::npos) << out.str();
  for (const std::string& text : {out.str(), err.str(), ReadFile(save / "Trawlkit.txt"), ReadFile(project)})
    EXPECT_EQ(text.find("s3cret"), std::string::npos) << text;
  EXPECT_NE(ReadFile(project).find("http://bob@" + rest), std::string::npos);

  // The project, run again, meets the 401 and finds the password where the user keeps it.
  WriteFile(home / ".netrc", "machine 127.0.0.1 login bob password s3cret\n");
  std::filesystem::remove(save / "basic.htm");
  EXPECT_EQ(Run({project}), kExitOk) << err.str();
  EXPECT_EQ(ReadFile(save / "basic.htm"), "welcome bob");
  EXPECT_EQ(out.str().find("s3cret"), std::string::npos);
}

TEST_F(CliIdentity, AFileOverTheMaximumSizeIsSkippedAndTheRunStillSucceeds) {
  auto server = test::HttpTestServer::Start();
  const std::string project = (save / "job.tkp").string();
  WriteFile(project, "[SETTING]\r\nSaveDir=" + save.Path().string() + "\r\nMaxSize=1000\r\n[URL]\r\nURL0=\"" +
                         server->Url("/__/bytes/big.bin?n=5000") + "\"\r\n");
  EXPECT_EQ(Run({project}), kExitOk) << out.str();
  EXPECT_NE(out.str().find(server->Url("/__/bytes/big.bin?n=5000") + "(SKIPPED:Larger than max size)\r\n"),
            std::string::npos)
      << out.str();
  EXPECT_FALSE(std::filesystem::exists(save / "big.bin"));
}

}  // namespace
}  // namespace tk::cli
