// The raster position as the page's own glRasterPos2f and glWindowPos2f keep it.
#pragma once

struct TRaster {
  bool valid;         // inside the clip volume when it was set
  float position[2];  // window pixels
  float colour[4];    // the current colour when it was set
};

extern TRaster raster;
