#include "model/sim_copy.h"

namespace trevolan {

void CopyModelState(const Sim& from, Sim& to) {
  for (int id = 0; id <= kMaxBlockID; ++id) to.block(id) = from.block(id);
  to.Time = from.Time;
  to.Delt = from.Delt;
  to.Start = from.Start;
  to.FinTim = from.FinTim;
  to.GrDel = from.GrDel;
  to.GrNext = from.GrNext;
  to.Holdstep = from.Holdstep;
  to.Holdnext = from.Holdnext;
  to.ScaleOrgn = from.ScaleOrgn;
  to.ScaleFactr = from.ScaleFactr;
  to.ColourMin = from.ColourMin;
  to.ColourMax = from.ColourMax;
  to.GrMinT = from.GrMinT;
  to.GrMaxT = from.GrMaxT;
  to.GrMinY = from.GrMinY;
  to.GrMaxY = from.GrMaxY;
  to.TimeTol = from.TimeTol;
  to.RepCount = from.RepCount;
  to.VertIntv = from.VertIntv;
  to.HorizIntv = from.HorizIntv;
  to.HighestBlock = from.HighestBlock;
  to.HoldFlag = from.HoldFlag;
  to.RunBusy = from.RunBusy;
  to.AnimFlag = from.AnimFlag;
  to.LinksFlag = from.LinksFlag;
  to.GridFlag = from.GridFlag;
  to.PlotFlag = from.PlotFlag;
  to.NumberMode = from.NumberMode;
  to.PickedBlock = from.PickedBlock;
  to.LastX = from.LastX;
  to.LastY = from.LastY;
  to.ClockSeconds = from.ClockSeconds;
  to.StepsTaken = from.StepsTaken;
  to.DataFileName = from.DataFileName;
  to.SaveFileName = from.SaveFileName;
  to.TapeFileName = from.TapeFileName;
  to.WindowCaption = from.WindowCaption;
  to.RunCaption = from.RunCaption;
  to.PlotWidth = from.PlotWidth;
  to.PlotHeight = from.PlotHeight;
  to.PlotLeft = from.PlotLeft;
  to.PlotTop = from.PlotTop;
  to.TapeIndex = -1;
  to.TapeChannels = from.TapeChannels;
  to.TapeChannelIDs = from.TapeChannelIDs;
  to.rng = from.rng;
}

}  // namespace trevolan
