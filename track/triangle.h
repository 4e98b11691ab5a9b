// One triangle of the track's mesh, road or ground, with what the cars ask of it.
#pragma once

#include "geometry/vector.h"

constexpr float roadGrey = 0.4f;  // red, green and blue of every road triangle
// Radians: a car standing on a triangle this steep or steeper crashes, road or ground alike.
constexpr double crashPitch = 0.7853981633974483;

class TTriangle {
 public:
  float minX;  // plan bounding box of the three corners
  float minZ;
  float maxX;
  float maxZ;
  Vec2 edgeAB;  // plan edge vectors for the containment test
  Vec2 edgeAC;
  Vec2 edgeCA;
  Vec2 edgeCB;
  Vec3 vertexA;  // corners
  Vec3 vertexB;
  Vec3 vertexC;
  float colour[3];       // red, green, blue fill, each 0 to 1
  float slopeDirection;  // yaw of the way the surface falls, radians
  float slopeAngle;      // radians from level: 0 level, pi/2 vertical

  // Fills every field; a ground triangle draws its shade from gameRand (two values).
  TTriangle(Vec3 a, Vec3 b, Vec3 c, bool isRoad);

  // Whether (x, z) lies in the triangle's plan view, edges and corners included; y is ignored.
  bool contains(float x, float y, float z) const;
  // Height of the triangle's plane above (x, z), inside or not; finite even for a triangle
  // whose corners lie on one line in plan.
  float heightAt(float x, float y, float z) const;
};
