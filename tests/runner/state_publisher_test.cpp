// The runner's published record under the name of its own process, when that name is free and
// when someone made it first. The test process plays the runner: the name is its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "common/win32_handles.h"
#include "contract/runner_contract.h"
#include "runner/state_publisher.h"

namespace qm::runner {
namespace {

using OpenResult = CStatePublisher::OpenResult;

enum class Impostor { kNone, kSection, kEvent, kLockedSection };

// What someone who came first left under the name, kept until the case ends.
unique_handle MakeImpostor(Impostor impostor, const std::string& strName) {
  switch (impostor) {
    case Impostor::kNone:
      return {};
    case Impostor::kSection:
      return unique_handle(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                contract::state::kRecordBytes, strName.c_str()));
    case Impostor::kEvent:
      return unique_handle(::CreateEventA(nullptr, TRUE, FALSE, strName.c_str()));
    case Impostor::kLockedSection: {
      // Nobody, the runner included, may open it.
      SECURITY_DESCRIPTOR descriptor;
      ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
      ACL acl;
      ::InitializeAcl(&acl, sizeof(acl), ACL_REVISION);
      ::SetSecurityDescriptorDacl(&descriptor, TRUE, &acl, FALSE);
      SECURITY_ATTRIBUTES sa = {sizeof(sa), &descriptor, FALSE};
      return unique_handle(::CreateFileMappingA(INVALID_HANDLE_VALUE, &sa, PAGE_READWRITE, 0,
                                                contract::state::kRecordBytes, strName.c_str()));
    }
  }
  return {};
}

// The words under the name as a reader sees them; empty when it cannot open them.
std::string RecordBytes(const std::string& strName) {
  unique_handle hSection(::OpenFileMappingA(FILE_MAP_READ, FALSE, strName.c_str()));
  if (!hSection) return {};
  unique_mapped_view pView(
      ::MapViewOfFile(hSection.get(), FILE_MAP_READ, 0, 0, contract::state::kRecordBytes));
  if (!pView) return {};
  return std::string(static_cast<const char*>(pView.get()), contract::state::kRecordBytes);
}

TEST(StatePublisher, PublishesUnderItsOwnNameOnlyWhenNobodyMadeItFirst) {
  const std::string strName = contract::state::SectionName(::GetCurrentProcessId());
  const std::string kZeros(contract::state::kRecordBytes, '\0');
  struct Case {
    const char* pszName;
    Impostor impostor;
    OpenResult result;
  } const cases[] = {
      {"free", Impostor::kNone, OpenResult::kPublishing},
      {"a section", Impostor::kSection, OpenResult::kNameTaken},
      {"an event", Impostor::kEvent, OpenResult::kNameTaken},
      {"a section the runner may not open", Impostor::kLockedSection, OpenResult::kNameTaken},
  };
  for (const Case& c : cases) {
    unique_handle hImpostor = MakeImpostor(c.impostor, strName);
    ASSERT_EQ(static_cast<bool>(hImpostor), c.impostor != Impostor::kNone) << c.pszName;
    CStatePublisher publisher;
    EXPECT_EQ(publisher.Open(), c.result) << c.pszName;
    EXPECT_EQ(publisher.SectionName(), strName) << c.pszName;
    publisher.ProgramStarted(1234);
    std::string strRecord = RecordBytes(strName);
    if (c.result == OpenResult::kPublishing) {
      ASSERT_EQ(strRecord.size(), contract::state::kRecordBytes) << c.pszName;
      std::uint32_t dwProcessId = 0;
      std::memcpy(&dwProcessId, strRecord.data() + contract::state::kProcessId * 4, 4);
      EXPECT_EQ(dwProcessId, 1234u) << c.pszName;
    } else if (c.impostor == Impostor::kSection) {
      // What the impostor made stays as it made it: the runner writes nothing into it.
      EXPECT_EQ(strRecord, kZeros) << c.pszName;
    }
  }
}

}  // namespace
}  // namespace qm::runner
