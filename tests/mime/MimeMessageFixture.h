// MimeMessageFixture: what the message tests share. clsSMTPEmailTestAccess fills the fields no
// operation of the message fills (CC, BCC, extra headers, HTML bodies, headers and footers,
// inline images, sender, charset, ...) and reaches the writer's pieces. clsMimeMessageTest runs
// each test on a temporary file-system root (home /Users/bob with data/, "Tarnix Temp" under
// /chew, preferences under /prefs) with a fresh preference store, rand seeded with 1, and the
// clock back to real time afterwards; Pull() takes a message line by line up to "." and Wire()
// makes the DATA bytes the server would see.
// Header-only; relies on tests/support/XFileSpecTestRoot.h, mime/ and the preference store.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mime/MimeCheck.h"
#include "mime/MimeTestPrefs.h"
#include "mime/clsSMTPEmail.h"
#include "mime/clsSMTPEmailPart.h"
#include "platform/carbon/Files.h"
#include "platform/cf/CFDate.h"
#include "tests/support/XFileSpecTestRoot.h"

class clsSMTPEmailTestAccess {
 public:
  using stcList = UniStringList* clsSMTPEmail::*;
  static void SetList(clsSMTPEmail& m, stcList list, std::vector<std::string> const& lines) {
    delete (m.*list);
    m.*list = new UniStringList;
    for (auto const& line : lines) (m.*list)->Add(mimecheck::Uni(line));
  }
  static constexpr stcList CCs = &clsSMTPEmail::m_pulstCCs;
  static constexpr stcList BCCs = &clsSMTPEmail::m_pulstBCCs;
  static constexpr stcList ExtraHeaders = &clsSMTPEmail::m_pulstExtraHeaders;
  static constexpr stcList TextHeader = &clsSMTPEmail::m_pulstTextHeader;
  static constexpr stcList TextFooter = &clsSMTPEmail::m_pulstTextFooter;
  static constexpr stcList HTMLBody = &clsSMTPEmail::m_pulstHTMLBody;
  static constexpr stcList HTMLHeader = &clsSMTPEmail::m_pulstHTMLHeader;
  static constexpr stcList HTMLFooter = &clsSMTPEmail::m_pulstHTMLFooter;
  static constexpr stcList HTMLImages = &clsSMTPEmail::m_pulstHTMLImages;
  static constexpr stcList Tos = &clsSMTPEmail::m_pulstTos;
  static constexpr stcList TextBody = &clsSMTPEmail::m_pulstTextBody;
  static constexpr stcList Attachments = &clsSMTPEmail::m_pulstAttachments;
  static bool HasList(clsSMTPEmail& m, stcList list) { return m.*list != nullptr; }

  using stcText = UniString clsSMTPEmail::*;
  static void Set(clsSMTPEmail& m, stcText field, std::string const& value) { m.*field = mimecheck::Uni(value); }
  static std::string Get(clsSMTPEmail& m, stcText field) { return mimecheck::Utf8(m.*field); }
  static constexpr stcText From = &clsSMTPEmail::m_ustrFrom;
  static constexpr stcText Subject = &clsSMTPEmail::m_ustrSubject;
  static constexpr stcText ReplyTo = &clsSMTPEmail::m_ustrReplyTo;
  static constexpr stcText RecordID = &clsSMTPEmail::m_ustrRecordID;
  static constexpr stcText CharSet = &clsSMTPEmail::m_ustrCharSet;
  static constexpr stcText MimeVersion = &clsSMTPEmail::m_ustrMimeVersion;
  static constexpr stcText DefaultXMailer = &clsSMTPEmail::m_ustrDefaultXMailer;
  static constexpr stcText TextContentType = &clsSMTPEmail::m_ustrTextContentType;
  static constexpr stcText HTMLContentType = &clsSMTPEmail::m_ustrHTMLContentType;
  static constexpr stcText TextContentTransferEncoding = &clsSMTPEmail::m_ustrTextContentTransferEncoding;
  static constexpr stcText HTMLContentTransferEncoding = &clsSMTPEmail::m_ustrHTMLContentTransferEncoding;

  static void SetPriority(clsSMTPEmail& m, int32_t priority) { m.m_lngPriority = priority; }
  static int32_t Priority(clsSMTPEmail& m) { return m.m_lngPriority; }
  static bool TextNeedsQP(clsSMTPEmail& m) { return m.m_bolTextNeedsQP; }
  static int32_t State(clsSMTPEmail& m) { return m.m_lngWriterState; }
  static std::string UniqueID(clsSMTPEmail& m) { return mimecheck::Bytes(m.m_astrUniqueID); }
  static bool HasTextPart(clsSMTPEmail& m) { return m.m_pudtTextPart != nullptr; }
  static size_t AttachmentParts(clsSMTPEmail& m) { return m.m_vecAttachmentParts.size(); }
  // Take away a piece the writer relies on, as a failed allocation would.
  static void DropHeaderBlock(clsSMTPEmail& m) {
    delete m.m_ptlstHeaders;
    m.m_ptlstHeaders = nullptr;
  }
  static void DropTextPart(clsSMTPEmail& m) { m.DeleteTextPart(); }
  static void DropHTMLPart(clsSMTPEmail& m) { m.DeleteHTMLPart(); }
  static void DropFileParts(clsSMTPEmail& m, bool image) {
    clsSMTPEmail::DeleteParts(image ? m.m_vecImageParts : m.m_vecAttachmentParts);
  }
};

class clsMimeMessageTest : public clsXFileSpecRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("mime-message", {"/Users/bob/data", "/chew", "/temp", "/prefs"}));
    ASSERT_EQ(noErr, InstallRoot());
    UseHome("/Users/bob");
    ASSERT_EQ(noErr, FSStandInSetFolder(kOnSystemDisk, kChewableItemsFolderType, "/chew"));
    ASSERT_EQ(noErr, FSStandInSetFolder(kUserDomain, kTemporaryFolderType, "/temp"));
    ASSERT_EQ(noErr, FSStandInSetFolder(kUserDomain, kPreferencesFolderType, "/prefs"));
    ResetPrefsForTesting();
    srand(1);
  }
  void TearDown() override {
    ResetPrefsForTesting();
    CFAbsoluteTimeClearCurrentForTesting();
    CleanUpXFileSpec();
    RemoveRoot();
  }

  static void SetListPref(char const* name, std::string const& text) {
    ASSERT_TRUE(g_udtPrefs.SetListPref(mimecheck::Uni(name), mimecheck::Uni(text))) << name;
  }
  static void SetStringPref(char const* name, std::string const& value) {
    ASSERT_TRUE(g_udtPrefs.SetStringPref(mimecheck::Uni(name), mimecheck::Uni(value))) << name;
  }

  // GenerateEmail, then every line up to and without the end line "."; fails the test when the
  // message does not end.
  static std::vector<std::string> Pull(clsSMTPEmail& message) {
    std::vector<std::string> lines;
    EXPECT_EQ(mimecheck::Utf8(message.GenerateEmail()), "");
    for (int i = 0; i < 200000; ++i) {
      std::string line = mimecheck::Bytes(message.GetLine());
      if (line == ".") return lines;
      lines.push_back(line);
    }
    ADD_FAILURE() << "the message does not end";
    return lines;
  }
  static std::string Wire(std::vector<std::string> const& lines) {
    std::string wire;
    for (auto const& line : lines) wire += line + "\r\n";
    return wire + ".\r\n";
  }
};
