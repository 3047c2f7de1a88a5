#pragma once

// Where the video frames sent in a call come from, as the statistics show it.
enum class TVideoSource
{
    None,        // nothing sent yet in this call
    Camera,      // camera pictures, encoded here
    Screen,      // the screen, scaled to fit a datagram and encoded here
    Passthrough, // the camera's own JPEG pictures, sent as they came
};
