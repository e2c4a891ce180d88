#include "display/number_form.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace trevolan {
namespace {

using testing::TestSim;

TEST(NumberForm, LegendPanelsShowTheColourScale) {
  TNumberDatFm form;
  EXPECT_EQ(form.Caption, "Number Display Controls");
  EXPECT_EQ(form.Width, 474);
  EXPECT_EQ(form.Height, 234);
  EXPECT_EQ(form.DefaultsBtn.hint, "This WILL happen!");
  for (size_t k = 0; k < form.Panels.size(); ++k) {
    const ColourPanel& p = form.Panels[k];
    SCOPED_TRACE(k);
    EXPECT_EQ(p.left, 24 + 20 * static_cast<int>(k));
    EXPECT_EQ(p.top, 24);
    EXPECT_EQ(p.width, 17);
    EXPECT_EQ(p.height, (k == 0 || k == 5 || k == 10 || k == 15 || k == 20) ? 33 : 21);
    if (k != 19) {
      EXPECT_EQ(p.colour, kColourScale[k]);
    }
  }
  EXPECT_EQ(form.Panels[19].colour, (Rgb{255, 255, 228}));
  EXPECT_EQ(form.Panels[20].colour, (Rgb{255, 255, 255}));
}

TEST(NumberForm, ApplyTakesTheFourSettingsAndStoresTheSystemBlocks) {
  TestSim s;
  TNumberDatFm form;
  form.FormActivate(*s);
  EXPECT_EQ(form.Edit1.text, "0");
  EXPECT_EQ(form.Edit2.text, "100");
  EXPECT_EQ(form.Edit3.text, "0");
  EXPECT_EQ(form.Edit4.text, "1");
  form.Edit1.text = "-10";
  form.Edit2.text = "0.5";
  form.Edit3.text = "3";
  form.Edit4.text = "";  // an empty field is 0
  s->Delt = 0.25;        // the whole set of globals goes into the blocks
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s->ColourMin, -10);
  EXPECT_EQ(s->ColourMax, 0.5);
  EXPECT_EQ(s->ScaleOrgn, 3);
  EXPECT_EQ(s->ScaleFactr, 0);
  EXPECT_EQ(s->block(12).Value, -10);
  EXPECT_EQ(s->block(13).Value, 0.5);
  EXPECT_EQ(s->block(10).Value, 3);
  EXPECT_EQ(s->block(11).Value, 0);
  EXPECT_EQ(s->block(3).Value, 0.25);
  EXPECT_FALSE(form.closed);  // the dialog stays open
  form.FormActivate(*s);
  EXPECT_EQ(form.Edit2.text, "0.5");
  form.CancelBtnClick();
  EXPECT_TRUE(form.closed);
  EXPECT_EQ(s->ColourMax, 0.5);
}

TEST(NumberForm, AConversionErrorStopsApplyPartWay) {
  TestSim s;
  TNumberDatFm form;
  form.FormActivate(*s);
  form.Edit1.text = "5";
  form.Edit2.text = "50";
  form.Edit3.text = "a lot";
  form.Edit4.text = "2";
  try {
    form.ApplyBtnClick(*s);
    FAIL() << "no error";
  } catch (const ConversionError& e) {
    EXPECT_STREQ(e.what(), "'a lot' is not a valid floating point value");
  }
  EXPECT_EQ(s->ColourMin, 5);
  EXPECT_EQ(s->ColourMax, 50);
  EXPECT_EQ(s->ScaleOrgn, 0);
  EXPECT_EQ(s->ScaleFactr, 1);
  EXPECT_EQ(s->block(12).Value, 0);  // the system blocks were not updated by this click
  EXPECT_EQ(s->block(13).Value, 100);
  // Only the first 255 characters of a field are read.
  form.Edit3.text = "7" + std::string(255, ' ') + "x";
  form.ApplyBtnClick(*s);
  EXPECT_EQ(s->ScaleOrgn, 7);
}

TEST(NumberForm, RestoreDefaultsTakesEachFromThePpOfItsSystemBlock) {
  TestSim s;
  TNumberDatFm form;
  form.FormActivate(*s);
  form.Edit1.text = "1";
  form.Edit2.text = "2";
  form.Edit3.text = "3";
  form.Edit4.text = "4";
  form.ApplyBtnClick(*s);
  s->block(13).pp = 250;  // a model may keep other defaults there
  form.DefaultsBtnClick(*s);
  EXPECT_EQ(s->ColourMin, 0);
  EXPECT_EQ(s->ColourMax, 250);
  EXPECT_EQ(s->ScaleOrgn, 0);
  EXPECT_EQ(s->ScaleFactr, 1);
  EXPECT_EQ(s->block(12).Value, 0);
  EXPECT_EQ(s->block(13).Value, 250);
  EXPECT_EQ(s->block(10).Value, 0);
  EXPECT_EQ(s->block(11).Value, 1);
  EXPECT_EQ(form.Edit2.text, "250");
  EXPECT_EQ(form.Edit4.text, "1");
  EXPECT_FALSE(form.closed);
}

}  // namespace
}  // namespace trevolan
