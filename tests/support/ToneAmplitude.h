#pragma once

#include <QByteArray>

// Amplitude of one frequency in a block of 16-bit samples (Goertzel), in sample units. With
// `channels` > 1 only the first channel is read.
double ToneAmplitude(const QByteArray& pcm, double freq, int rate, int channels = 1);
