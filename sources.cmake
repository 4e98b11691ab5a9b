# The game's sources, room by room, for the desktop build and the web page alike. The platform's
# own files (the background worker, the frame's pace, the pads, the off-screen drawing, the glyphs'
# making and the record names' digest) are listed apart: the page has its own in web/.
set(ZARVANTO_TRACK_SOURCES
  geometry/vector.cpp geometry/random.cpp
  track/track.cpp track/load.cpp track/load_message.cpp track/waypoint_hash.cpp track/segment_pairs.cpp
  track/triangle.cpp track/triangle_grid.cpp track/mesh.cpp track/triangulate.cpp track/queries.cpp)
set(ZARVANTO_RECORDS_SOURCES records/record.cpp records/race_record.cpp)
set(ZARVANTO_DRIVE_SOURCES
  events/race_events.cpp race/state.cpp race/clock.cpp
  cars/car.cpp cars/player.cpp rivals/rival.cpp ghost/ghost.cpp targets/targets.cpp)
set(ZARVANTO_CORE_SOURCES
  cars/opponent.cpp camera/camera.cpp
  trial/time_trial.cpp contest/contest.cpp sound/waveforms.cpp sound/sound.cpp
  shell/race.cpp shell/loop.cpp shell/startup.cpp pads/pad_actions.cpp input/input.cpp chooser/chooser.cpp
  render/pixels.cpp render/text.cpp render/track_draw.cpp render/car_draw.cpp render/render.cpp)
# The desktop's platform files, each with a stand-in of the same name in web/.
set(ZARVANTO_RECORDS_PLATFORM_SOURCES records/worker.cpp records/digest.cpp)
set(ZARVANTO_CORE_PLATFORM_SOURCES shell/pace.cpp pads/gamepad.cpp render/offscreen.cpp render/glyphs.cpp)
