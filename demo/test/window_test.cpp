// The demo window: its layout, and what a click on "Doughnut" does.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include "Form1.h"
#include "pixels.h"
#include "xamlpie/MarkupLabel.h"

namespace xamlpie::test {
namespace {

const QColor kHoleFill(0xFF, 0xC0, 0xC0);
const QColor kMagenta(255, 0, 255);

void ClickDoughnut(Form1& form) {
  QStyleOptionButton option;
  option.initFrom(form.chkDoughnut);
  const QRect box = form.chkDoughnut->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option,
                                                              form.chkDoughnut);
  QTest::mouseClick(form.chkDoughnut, Qt::LeftButton, {}, box.center());
}

QColor CentreOfPie(Form1& form) {
  return Pixel(Render(*form.lblPieChart), {150, 150});
}

TEST(Window, LayoutAndCaptions) {
  Form1 form;
  EXPECT_EQ(form.windowTitle(), "XAML Pie Chart");
  EXPECT_EQ(form.size(), QSize(436, 339));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());  // fixed size
  EXPECT_EQ(form.lblPieChart->geometry(), QRect(6, 6, 300, 300));
  EXPECT_EQ(form.chkDoughnut->geometry(), QRect(314, 8, 107, 19));
  EXPECT_EQ(form.chkDoughnut->text(), "Doughnut");
  EXPECT_FALSE(form.chkDoughnut->isChecked());
  EXPECT_EQ(form.font().pointSizeF(), 8.25);
  EXPECT_EQ(form.lblPieChart->BackColor(), 0x00C0C0FFu);
  EXPECT_EQ(form.lblPieChart->ForeColor(), 0x80000012u);
}

TEST(Window, FirstDrawingHappensBeforeShowing) {
  Form1 form;
  EXPECT_EQ(form.lblPieChart->Caption(), ReadGolden("demo.xaml"));
  EXPECT_EQ(CentreOfPie(form), kMagenta);
}

TEST(Window, DoughnutClickTogglesTheHole) {
  Form1 form;
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  const QString first = form.lblPieChart->Caption();

  ClickDoughnut(form);
  EXPECT_TRUE(form.chkDoughnut->isChecked());
  EXPECT_EQ(form.lblPieChart->Caption(), ReadGolden("demo-doughnut.xaml"));
  EXPECT_TRUE(form.lblPieChart->Caption().endsWith(
      "<Ellipse Canvas.Left='75' Canvas.Top='75' Stroke='#000000' StrokeThickness='2' "
      "Fill='#FFC0C0' Width='150' Height='150' />\r\n</Canvas>"));
  EXPECT_EQ(CentreOfPie(form), kHoleFill);

  ClickDoughnut(form);
  EXPECT_FALSE(form.chkDoughnut->isChecked());
  EXPECT_EQ(form.lblPieChart->Caption(), first);
  EXPECT_EQ(CentreOfPie(form), kMagenta);
}

TEST(Window, HoleTakesTheLabelsColourAtTheNextDrawing) {
  Form1 form;
  form.chkDoughnut->setChecked(true);  // not a user's toggle: no drawing yet
  EXPECT_EQ(form.lblPieChart->Caption(), ReadGolden("demo.xaml"));
  form.lblPieChart->setBackColor(0x00FFFFFF);
  form.DrawChart();
  EXPECT_TRUE(form.lblPieChart->Caption().contains("Fill='#FFFFFF'"));
}

// An error in a drawing is reported, and the window keeps its previous chart.
class RecordingForm : public Form1 {
 public:
  QStringList errors;

 protected:
  void ReportError(const QString& message) override { errors << message; }
};

TEST(Window, ErrorKeepsThePreviousChart) {
  RecordingForm form;
  const QString before = form.lblPieChart->Caption();
  form.lblPieChart->setBackColor(0x80000005);  // a system colour, read at drawing time
  SetSystemColorSource([](int) -> RgbValue { throw std::runtime_error("no colours"); });
  form.chkDoughnut->click();
  SetSystemColorSource({});
  EXPECT_EQ(form.errors, QStringList{"no colours"});
  EXPECT_EQ(form.lblPieChart->Caption(), before);
}

}  // namespace
}  // namespace xamlpie::test
