#include "port/errorbox.h"

#include <string>

#include "support.h"

using ErrorBoxTest = FakeWinTest;

TEST_F(ErrorBoxTest, FormatsMessageAndNumbersAsTheUserSeesThem) {
  ErrorBox("Error from SetCommState:", 87);
  ErrorBox("ComIn Pending Failed!:", static_cast<int>(WAIT_FAILED), ",Wanted:", 5000);
  ErrorBox("ComOut Pending Failed, stat:", WAIT_TIMEOUT);
  ErrorBox("Error from CreateFile:", 2, "COM9", 0);

  EXPECT_EQ(fake::BoxTexts(),
            (std::vector<std::string>{"Error from SetCommState:87", "ComIn Pending Failed!: -1 ,Wanted: 5000",
                                      "ComOut Pending Failed, stat:258", "Error from CreateFile: 2 COM9 0"}));
}

TEST_F(ErrorBoxTest, IsAQuestionBoxOwnedByTheFrameWithTheSystemTitle) {
  ErrorBox("Error A CreateEvent", 0);
  ASSERT_EQ(fake::Boxes().size(), 1u);
  const fake::Box& box = fake::Boxes()[0];
  EXPECT_EQ(box.text, "Error A CreateEvent0");
  EXPECT_EQ(box.owner, reinterpret_cast<HWND>(0xF00));  // the owner the fixture gave
  EXPECT_FALSE(box.hasCaption);
  EXPECT_EQ(box.flags, static_cast<UINT>(MB_ICONQUESTION | MB_OK));
}

TEST_F(ErrorBoxTest, CutsAnOverlongLineToSeventyNineCharacters) {
  std::string longMessage(200, 'm');
  std::string longName(300, 'n');
  ErrorBox(longMessage.c_str(), 123456);
  ErrorBox("Error from CreateFile:", 2, longName.c_str(), 0);

  ASSERT_EQ(fake::Boxes().size(), 2u);
  EXPECT_EQ(fake::Boxes()[0].text, std::string(79, 'm'));
  EXPECT_EQ(fake::Boxes()[1].text, "Error from CreateFile: 2 " + std::string(79 - 25, 'n'));
}
