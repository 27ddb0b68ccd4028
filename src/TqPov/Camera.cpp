// The automatic camera: from a latitude and longitude it moves the camera in along the viewing
// line until the model just fits, and writes a camera whose numbers stay adjustable.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "TqPov/TqPov.h"

namespace {

// -cfit: the share of the picture the placed parts fill, what the margins on both sides leave.
double FitShare(const TqPovRecord& pov) {
    return 1 - pov.FitMargin / 50.0;
}

// 67.38 degrees, the default horizontal viewing angle, exactly as a float (0x4286C2A1): what
// POV-Ray's own default camera sees, 2 atan(2/3) with right 4/3 and direction 1.
constexpr float kDefaultViewingAngle = 67.380135f;
// A latitude of exactly +-90 would make the viewing direction parallel to the default sky.
constexpr float kPoleLatitude = 89.999f;

const char kSupportAddress[] = "https://tqr-project.github.io/tqr/support";

bool AllFinite(std::initializer_list<float> values) {
    for (float v : values) {
        if (!std::isfinite(v)) return false;
    }
    return true;
}

// The run ends with the scene marked as failed, so that nobody takes it for a finished one.
int CameraFailure(SceneWriter* w, const char* what) {
    Diagnostics* diag = w->diag;
    PromptUser(diag, "Kestrix internal error", "%s", what);
    PromptUser(diag, "Kestrix internal error",
               "Please send the model file and the options you used to %s", kSupportAddress);
    PromptUser(diag, "Kestrix internal error", "To proceed specify radius or use -cc option.");
    return -1;
}

// Unknowns (P1, P2): rows 0-1 hold P1 on the two planes along VerAxis, rows 2-3 P2 on the two
// planes along HorAxis, rows 4-5 make P2 - P1 parallel to the viewing direction. So P1 is where
// the model just fits the height of the view, P2 where it just fits the width, on one line.
bool SolveFitLocations(SceneWriter* w, float* p1, float* p2) {
    float a[36] = {}, b[6] = {}, x[6];
    const CameraDataS& c = w->CameraData;
    for (int k = 0; k < 3; k++) {
        a[0 * 6 + k] = c.PlaneNormal[0][k];
        a[1 * 6 + k] = c.PlaneNormal[1][k];
        a[2 * 6 + 3 + k] = c.PlaneNormal[2][k];
        a[3 * 6 + 3 + k] = c.PlaneNormal[3][k];
    }
    for (int i = 0; i < 4; i++) b[i] = c.PlaneMin[i];
    float dx = c.Direction[0], dy = c.Direction[1], dz = c.Direction[2];
    // Components of (P2 - P1) x D; each row carries +coefficients on P2 and -coefficients on P1.
    // Only two of the three are independent; the two taken stay independent for this direction.
    const float rowX[3] = {0, dz, -dy}, rowY[3] = {dz, 0, -dx}, rowZ[3] = {dy, -dx, 0};
    const float *row4, *row5;
    if (dx != 0) {
        row4 = rowY;
        row5 = dy == 0 && dz != 0 ? rowX : rowZ;
    } else {
        row4 = rowX;
        row5 = dy == 0 ? rowY : rowZ;
    }
    for (int k = 0; k < 3; k++) {
        a[4 * 6 + k] = -row4[k];
        a[4 * 6 + 3 + k] = row4[k];
        a[5 * 6 + k] = -row5[k];
        a[5 * 6 + 3 + k] = row5[k];
    }
    if (!TqSolve6(x, a, b)) return false;
    V3Assign(p1, x);
    V3Assign(p2, x + 3);
    return true;
}

// -d: the three axes from a fixed point, x red, y green, z blue.
void PrintDebugAxes(FILE* fp) {
    fputs(
        "cylinder { <50,0,-50>,<50+50,0,-50>,4 texture { pigment { color rgb <1,0,0> } } }\n"
        "cylinder { <50,0,-50>,<50,0+50,-50>,4 texture { pigment { color rgb <0,1,0> } } }\n"
        "cylinder { <50,0,-50>,<50,0,-50+50>,4 texture { pigment { color rgb <0,0,1> } } }\n",
        fp);
}

// The camera keeps the direction asked for: it looks at the foot of the box centre on its line
// of sight rather than at the centre itself.
void LookAtFootOfCentre(SceneWriter* w) {
    float toCentre[3];
    V3Sub(toCentre, w->BBoxCenter, w->Location);
    V3AddScaled(w->LookAt, w->Location, V3Dot(w->CameraData.Direction, toCentre),
                w->CameraData.Direction);
}

// Mode 3: the location from which every offered point lies just within the view; -1 when there
// is none (reported).
int FitLocation(SceneWriter* w, FILE* fp, float* eh, float* ev) {
    const TqPovRecord& pov = *w->pov;
    float* Location = w->Location;
    PartTable& Parts = w->model->Parts;
    CameraDataS& c = w->CameraData;
    // The extents, the width over the aspect ratio: the orthographic branch of a scene without
    // -co sizes its view by the larger one.
    float aspect = pov.AspectRatio != 0 ? pov.AspectRatio : 1.3333334f;
    *eh = (c.HorMax - c.HorMin) / aspect;
    *ev = c.VerMax - c.VerMin;
    if (pov.Debug > 1) {
        for (const auto& normal : c.PlaneNormal) fprintf(fp, "// Normal %s\n", PovGGG(w, normal));
        fprintf(fp, "//Dir1 %s\n", PovGGG(w, c.Direction));
        fprintf(fp, "//Hor,Ver min,max diffs: %g %g  %g %g  %g/%g\n", c.HorMin, c.HorMax, c.VerMin,
                c.VerMax, *eh, *ev);
    }
    if (pov.Debug >= 1) {
        float corners[8][3];
        TqCalcBBoxCorners(corners, kIdentityMatrix, Parts[0].BBox, 0);
        for (const auto& corner : corners)
            fprintf(fp, "sphere { %s,10 texture { pigment { color rgb <1,0,0> } } }\n",
                    PovGGG(w, corner));
    }
    float p1[3], p2[3], delta[3];
    if (!SolveFitLocations(w, p1, p2))
        return CameraFailure(w, "Singular matrix when calculating camera position.\n");
    // The one further back holds the model both ways; the direction points towards the model.
    V3Sub(delta, p2, p1);
    bool firstIsFurther = V3Dot(c.Direction, delta) > 0;
    V3Assign(Location, firstIsFurther ? p1 : p2);
    if (pov.Debug > 1) fprintf(fp, "//OTHER location %s\n", PovGGG(w, firstIsFurther ? p2 : p1));
    LookAtFootOfCentre(w);
    if (!std::isfinite(Location[0] + Location[1] + Location[2]))
        return CameraFailure(w, "Singular matrix when calculating camera position.\n");
    return 0;
}

// Half the width and height of the view an orthographic camera aimed at aim needs to hold the
// model, along the screen axes hor and ver.
void OrthographicExtent(SceneWriter* w, const float* aim, const float* hor, const float* ver,
                        double* halfWidth, double* halfHeight) {
    const TqPovRecord& pov = *w->pov;
    PartTable& Parts = w->model->Parts;
    const CameraDataS& c = w->CameraData;
    // The automatic camera has seen every point of the model along these very axes.
    if (c.Mode == 3 && c.nPoints > 0 && pov.RollAngle == 0) {
        double h = V3Dot(aim, hor), v = V3Dot(aim, ver);
        *halfWidth = std::max(c.HorMax - h, h - c.HorMin);
        *halfHeight = std::max(c.VerMax - v, v - c.VerMin);
        return;
    }
    // Otherwise the corners of the box; a rolled view turns them in the frame, so then only
    // their circle is sure to fit.
    float corners[8][3];
    TqCalcBBoxCorners(corners, kIdentityMatrix, Parts[0].BBox, 0);
    double radius = 0;
    *halfWidth = *halfHeight = 0;
    for (const auto& corner : corners) {
        float d[3];
        V3Sub(d, corner, aim);
        double x = std::fabs(V3Dot(d, hor)), y = std::fabs(V3Dot(d, ver));
        *halfWidth = std::max(*halfWidth, x);
        *halfHeight = std::max(*halfHeight, y);
        radius = std::max(radius, std::sqrt(x * x + y * y));
    }
    if (pov.RollAngle != 0) *halfWidth = *halfHeight = radius;
}

// The orthographic view (-co): the perspective camera's line of sight, sky and roll, aimed at the
// middle of the model as seen from there (or the -cla point), with up and right sized so that
// the whole model lies inside the frame with a small margin; -co<s> scales that. The camera
// stands outside the model's box on the line of sight.
void PrintOrthographicView(SceneWriter* w, FILE* fp, bool lookAtGiven) {
    const TqPovRecord& pov = *w->pov;
    float* LookAt = w->LookAt;
    float* Location = w->Location;
    float* BBoxCenter = w->BBoxCenter;
    PartTable& Parts = w->model->Parts;
    const CameraDataS& c = w->CameraData;
    float dir[3], toCamera[3], hor[3], ver[3], across[3], aim[3];
    V3Sub(toCamera, Location, LookAt);
    V3Scale(dir, -1 / V3Length(toCamera), toCamera);
    V3Cross(across, dir, pov.CameraSky);
    V3Unit(hor, across);
    V3Cross(across, hor, dir);
    V3Unit(ver, across);
    V3Assign(aim, lookAtGiven ? LookAt : BBoxCenter);
    if (!lookAtGiven && c.Mode == 3 && c.nPoints > 0 && pov.RollAngle == 0) {
        // Centre the model's outline: the box centre moved across the line of sight.
        double h = (c.HorMin + c.HorMax) / 2 - V3Dot(BBoxCenter, c.HorAxis);
        double v = (c.VerMin + c.VerMax) / 2 - V3Dot(BBoxCenter, c.VerAxis);
        for (int i = 0; i < 3; i++)
            aim[i] = (float)(BBoxCenter[i] + h * c.HorAxis[i] + v * c.VerAxis[i]);
        V3Assign(hor, c.HorAxis);
        V3Assign(ver, c.VerAxis);
    }
    double halfWidth, halfHeight;
    OrthographicExtent(w, aim, hor, ver, &halfWidth, &halfHeight);
    double aspect = pov.AspectRatio != 0 ? pov.AspectRatio : 4.0 / 3.0;
    // A margin of 2% on each side, or that of -cfit; TqPercentageBack widens the view as it moves
    // a perspective camera back.
    double margin = pov.FitPlacedParts ? 1 / FitShare(pov) : 1.04;
    double height = 2 * std::max(halfHeight, halfWidth / aspect) * margin;
    if (pov.OrthoScale != 0) height *= pov.OrthoScale;
    float size[3];
    V3Sub(size, Parts[0].BBox + 3, Parts[0].BBox);
    double distance = V3Length(toCamera) + V3Length(size);
    fprintf(fp, "\t#if (TqOrthographic)\n\t\t#declare TqLookAt = %s; // %s\n", PovGGG(w, aim),
            lookAtGiven ? "-cla" : "Middle of the model (not -cla)");
    fprintf(fp,
            "\t\t#declare TqOrthoScale = (1+TqPercentageBack/100.0)*%g; // height of the view\n",
            height);
    fprintf(fp, "\t\t#declare TqLocation = TqLookAt - %g*%s;\n", distance, PovGGG(w, dir));
    fputs(
        "\t\tlocation TqLocation\n\t\tup       TqOrthoScale*y\n\t\tright    -TqAspectRatio*TqOrthoScale*x\n\t#else\n",
        fp);
}

// The comments that record how the automatic camera was placed, and the opening of the camera
// with its adjustable settings.
void PrintCameraSettings(SceneWriter* w, FILE* fp, const float* view) {
    const TqPovRecord& pov = *w->pov;
    const CameraDataS& c = w->CameraData;
    char aspect[32] = "4/3";
    if (pov.AspectRatio != 0) snprintf(aspect, sizeof(aspect), "%g", pov.AspectRatio);
    if (c.Mode == 3) {
        fprintf(
            fp,
            "// TQR's automatic camera positioning was based on the following:\n// TqLatitude=%g\n// TqLongitude=%g\n// TqRadius=%g\n// TqPercentageBack=0\n// TqViewingAngle=%g\n// TqRollAngle=%g\n// TqAspectRatio=%s\n// If changed below, objects may no longer fit into the view.\n",
            pov.CameraPos[0], pov.CameraPos[1], V3Length(view), pov.ViewingAngle, pov.RollAngle,
            aspect);
    }
    // A negative -cg radius asks for the fitted camera that many per cent further back. LDraw's y
    // axis points down, so the default sky is -y; 4/3 stays an exact POV-Ray expression.
    float percentage = c.Mode == 3 && c.Radius < 0 ? -c.Radius : pov.PercentageBack;
    char sky[96] = "-y";
    if (pov.SkyGiven) strncpy0(sky, PovGGG(w, pov.CameraSky), sizeof(sky));
    fprintf(
        fp,
        "camera {\n\t#declare TqPercentageBack = %g; // Percentage of radius\n\t#declare TqOrthographic = %d; // Set to 1 for orthographic view\n\t#declare TqViewingAngle = %g; // degrees\n\t#declare TqRollAngle = %g; // degrees\n\t#declare TqAspectRatio = %s;\n\t#declare TqSky = %s;\n\t#declare TqStereoAngle = %g; // degrees\n\t//5 degrees corresponds to a distance between eyes (stereo cameras)\n\t//of 1/12 of distance to model.\n\t#declare TqStereoView = 0; // Normal view\n\t//Uncomment either two lines below to make stereo images:\n\t%s#declare TqStereoView = -TqStereoAngle/2; // Left view\n\t%s#declare TqStereoView =  TqStereoAngle/2; // Right view\n\n",
        percentage, pov.Orthographic ? 1 : 0, pov.ViewingAngle, pov.RollAngle, aspect, sky,
        pov.StereoAngle, pov.StereoLeft ? "" : "//", pov.StereoRight ? "" : "//");
    // The view was fitted for one aspect ratio: the scene refuses an image of another shape
    // (image_width and image_height exist from POV-Ray 3.5 on).
    fputs(
        "\t#if (version >= 3.5)\n\t\t#if (abs(TqAspectRatio-image_width/image_height) > 0.01)\n\t\t\t#error \"TqAspectRatio does not match image size. Select a correct image size or use option -car<ar>.\"\n\t\t#end\n\t#end\n\n",
        fp);
}

// The orthographic branch of a scene without -co, as it always was: POV-Ray stops there, since
// the camera type would have to come first.
void PrintUnusedOrthographicBranch(SceneWriter* w, FILE* fp, bool lookAtGiven, float eh, float ev) {
    const TqPovRecord& pov = *w->pov;
    CameraDataS& CameraData = w->CameraData;
    float* LookAt = w->LookAt;
    float* BBoxCenter = w->BBoxCenter;
    fputs("\t#if (TqOrthographic)\n\n\t\t#error \"* * doesn't work yet...\"\n\n\t\torthographic\n",
          fp);
    if (lookAtGiven)
        fprintf(fp, "\t\t#declare TqLookAt = %s; // %s\n", PovGGG(w, LookAt), "-cla");
    else
        fprintf(fp, "\t\t#declare TqLookAt = %s; // %s\n", PovGGG(w, BBoxCenter),
                "BBox center (not -cla)");
    fprintf(fp, "\t\t#declare TqOrthoScale = (1+TqPercentageBack/100.0)*%g;\n",
            pov.OrthoScale != 0 ? pov.OrthoScale : (eh > ev ? eh : ev));
    fprintf(fp, "\t\t#declare TqLocation = TqLookAt - %g*%s;\n", 2000.0,
            PovGGG(w, CameraData.Direction));
    fputs("\t\tlocation TqLocation\n\t\tscale    TqOrthoScale\n\t#else\n", fp);
}

// The perspective branch; stereo is the rotation about the axis wText. TqPercentageBack moves the
// location away from the look-at point along the line of sight.
void PrintPerspectiveView(SceneWriter* w, FILE* fp, bool lookAtGiven, const char* wText) {
    float* LookAt = w->LookAt;
    float* Location = w->Location;
    fprintf(fp, "\t\t#declare TqLookAt = %s; // %s\n", PovGGG(w, LookAt),
            lookAtGiven ? "-cla" : "Calculated (not -cla)");
    fprintf(fp, "\t\t#declare TqLocation = %s;\n", PovGGG(w, Location));
    fputs("\t\t#declare TqLocation = TqLocation + TqPercentageBack/100.0*(TqLocation-TqLookAt);\n",
          fp);
    fprintf(
        fp,
        "\t\t//#if (TqStereoView)\n\t\t//\t#declare TqLocation = TqLookAt + vaxis_rotate(TqLocation-TqLookAt, %s, TqStereoView);\n\t\t//#end\n\t\tangle    TqViewingAngle\n\t\tlocation TqLocation\n\t#end\n",
        wText);
}

// The aiming, the roll, the stereo turn and the end of the camera. The roll turns the camera
// about its line of sight; the stereo view turns it about the screen's vertical axis, around the
// look-at point.
void PrintCameraClosing(FILE* fp, const char* wText) {
    fputs(
        "\tlook_at  TqLookAt\n\trotate   <0,1e-5,0> // Prevent gap between adjacent quads\n\n#declare Closer = TqLookAt+0.1*(TqLocation-TqLookAt);\n\n",
        fp);
    fputs(
        "\ttranslate -TqLocation\n\t#declare vx=vaxis_rotate(x,TqLookAt-TqLocation,TqRollAngle);\n\t#declare vy=vaxis_rotate(y,TqLookAt-TqLocation,TqRollAngle);\n\t#declare vz=vaxis_rotate(z,TqLookAt-TqLocation,TqRollAngle);\n\tmatrix <vx.x,vx.y,vx.z, vy.x,vy.y,vy.z, vz.x,vz.y,vz.z, 0,0,0>\n\ttranslate TqLocation\n\n",
        fp);
    fprintf(
        fp,
        "#if (TqStereoView)\n\ttranslate -TqLocation\n\t#declare Ver=%s;\n\t#declare vx=vaxis_rotate(x,Ver,TqStereoView);\n\t#declare vy=vaxis_rotate(y,Ver,TqStereoView);\n\t#declare vz=vaxis_rotate(z,Ver,TqStereoView);\n\tmatrix <vx.x,vx.y,vx.z, vy.x,vy.y,vy.z, vz.x,vz.y,vz.z, 0,0,0>\n\t#declare TqLocation = TqLookAt + vaxis_rotate(TqLocation-TqLookAt, Ver, TqStereoView);\n\ttranslate TqLocation\n#end\n\n\n//////////////////////////////////////////////////\n// What about TqRollAngle... before/after stereo ?\n//////////////////////////////////////////////////\n\n",
        wText);
    fputs(
        "\t//Rotate model around its center:\n\t//translate -TqModelBBoxCenter\n\t//rotate    <0,360*clock,0>\n\t//translate TqModelBBoxCenter\n}\n",
        fp);
}

void PrintCameraText(SceneWriter* w, FILE* fp, bool lookAtGiven, float eh, float ev) {
    const TqPovRecord& pov = *w->pov;
    CameraDataS& CameraData = w->CameraData;
    float* LookAt = w->LookAt;
    float* Location = w->Location;
    float v[3];
    V3Sub(v, Location, LookAt);
    PrintCameraSettings(w, fp, v);
    // POV-Ray wants the camera type before every other item of the camera.
    if (pov.Orthographic) fputs("\t#if (TqOrthographic) orthographic #end\n", fp);
    // POV-Ray's coordinates are left-handed and LDraw's right-handed: the negative right vector
    // mirrors the picture back. The angle is the horizontal one, measured along right.
    fputs("\tsky      TqSky\n\tright    -TqAspectRatio*x\n", fp);
    if (pov.Orthographic)
        PrintOrthographicView(w, fp, lookAtGiven);
    else
        PrintUnusedOrthographicBranch(w, fp, lookAtGiven, eh, ev);
    float side[3], up[3], axis[3] = {0, 0, 0};
    V3Cross(side, v, CameraData.Sky);
    V3Cross(up, side, v);
    // The stereo axis; for an extreme view whose products overflow it stays zero.
    if (V3Unit(axis, up) == 0 && !AllFinite({axis[0], axis[1], axis[2]}))
        axis[0] = axis[1] = axis[2] = 0;
    char wText[96];
    strncpy0(wText, PovGGG(w, axis), sizeof(wText));
    PrintPerspectiveView(w, fp, lookAtGiven, wText);
    PrintCameraClosing(fp, wText);
}

}  // namespace

void PreCalcCamera(SceneWriter* w) {
    // The defaults the camera works with are settled here, in the scene's settings.
    TqPovRecord& pov = *w->pov;
    CameraDataS& c = w->CameraData;
    memset(&c, 0, sizeof(c));
    if (pov.ViewingAngle == 0) pov.ViewingAngle = kDefaultViewingAngle;
    if (pov.CameraGlobe) {
        if (pov.CameraPos[0] == 90) pov.CameraPos[0] = kPoleLatitude;
        if (pov.CameraPos[0] == -90) pov.CameraPos[0] = -kPoleLatitude;
    }
    float rotation[16];
    const float zAxis[3] = {0, 0, 1};
    TqSetupRotMat(rotation, pov.RollAngle, zAxis);
    const float sky[4] = {pov.CameraSky[0], pov.CameraSky[1], pov.CameraSky[2], 0};
    M4V4Mul(c.Sky, rotation, sky);
    if (!pov.CameraGlobe) {
        c.Mode = 1;
        return;
    }
    TqGlobeToDir(pov.CameraPos[0], pov.CameraPos[1], c.Direction);
    c.Radius = pov.CameraPos[2];
    if (c.Radius > 0) {
        c.Mode = 2;
        return;
    }
    c.Mode = 3;
    c.nPoints = 0;
    float side[3], up[3];
    V3Cross(side, c.Direction, c.Sky);
    V3Unit(c.HorAxis, side);
    V3Cross(up, side, c.Direction);
    V3Unit(c.VerAxis, up);
    // Each side plane of the view passes through the camera with its normal pointing into the
    // view: a point is in view when normal . (point - camera) >= 0. The smallest normal . point
    // over the model thus fixes how far forward the camera may come. k is the cotangent of half
    // the horizontal angle (pi/360 per degree); the vertical one follows from the aspect ratio.
    double k = 1 / std::tan(pov.ViewingAngle * 0.008726646259971648);
    // -cfit keeps its margin inside the fit: the model must fit a view narrowed by it.
    if (pov.FitPlacedParts) k /= FitShare(pov);
    double kVertical = k * (pov.AspectRatio != 0 ? pov.AspectRatio : 1.3333333333333333);
    V3AddScaled(c.PlaneNormal[0], c.Direction, -kVertical, c.VerAxis);
    V3AddScaled(c.PlaneNormal[1], c.Direction, kVertical, c.VerAxis);
    V3AddScaled(c.PlaneNormal[2], c.Direction, -k, c.HorAxis);
    V3AddScaled(c.PlaneNormal[3], c.Direction, k, c.HorAxis);
    for (float& m : c.PlaneMin) m = 1e6f;
    c.HorMin = c.VerMin = 1e6f;
    c.HorMax = c.VerMax = -1e6f;
}

// Only the extremes are kept: per side plane the smallest dot product, per screen axis the extent.
void CalcCameraAddPoint(SceneWriter* w, const float* point) {
    const TqPovRecord& pov = *w->pov;
    FILE* PovFp = w->PovFp;
    CameraDataS& c = w->CameraData;
    if (c.Mode != 3) return;
    c.nPoints++;
    FILE* fp = PovFp;
    if (pov.Debug >= 1 && fp)
        fprintf(fp, "sphere { %s,1 texture { pigment { color rgb <0,1,0> } } }\n",
                PovGGG(w, point));
    if (pov.Debug > 1 && fp) fprintf(fp, "// %ld dmin[0-3]:", (long)c.nPoints);
    for (int i = 0; i < 4; i++) {
        float d = (float)V3Dot(c.PlaneNormal[i], point);
        if (c.PlaneMin[i] > d) c.PlaneMin[i] = d;
        if (pov.Debug > 1 && fp) fprintf(fp, " %g", d);
    }
    float h = (float)V3Dot(c.HorAxis, point);
    if (c.HorMin > h) c.HorMin = h;
    if (h > c.HorMax) c.HorMax = h;
    if (pov.Debug > 1 && fp) fprintf(fp, "   Hor,Ver: %g", h);
    float v = (float)V3Dot(c.VerAxis, point);
    if (c.VerMin > v) c.VerMin = v;
    if (v > c.VerMax) c.VerMax = v;
    if (pov.Debug > 1 && fp) fprintf(fp, " %g\n", v);
}

static void AddCornerPoints(SceneWriter* w, const float* box) {
    float corners[8][3];
    TqCalcBBoxCorners(corners, kIdentityMatrix, box, 0);
    for (const auto& corner : corners) CalcCameraAddPoint(w, corner);
}

void CalcCameraAddBoxCorners(SceneWriter* w, const float* box) {
    // -cfit offers its own points when the camera is placed.
    if (w->CameraData.Mode != 3 || w->CameraData.nPoints != 0 || w->pov->FitPlacedParts) return;
    AddCornerPoints(w, box);
}

// -cfit: the automatic fit takes the placed parts' points (the model's box when there are none),
// and both it and a camera at a given distance are then centred on their projection.
static int PlaceOnPlacedParts(SceneWriter* w, FILE* fp, float* eh, float* ev) {
    const PartEntry* model = &w->model->Parts[0];
    if (w->CameraData.Mode == 3) {
        auto add = [w](const float* p) { CalcCameraAddPoint(w, p); };
        if (ForEachPlacedPoint(w, model, add) == 0) AddCornerPoints(w, model->BBox);
        if (FitLocation(w, fp, eh, ev) != 0) return -1;
    }
    CentreOnPlacedParts(w, model, w->CameraData.Direction, w->CameraData.Sky, w->Location);
    LookAtFootOfCentre(w);
    return 0;
}

int CalcCamera(SceneWriter* w, FILE* fp) {
    const TqPovRecord& pov = *w->pov;
    CameraDataS& CameraData = w->CameraData;
    float* LookAt = w->LookAt;
    float* Location = w->Location;
    float* BBoxCenter = w->BBoxCenter;
    PrintPovBookmark(fp, "Camera");
    bool lookAtGiven = pov.LookAtGiven;
    V3Assign(LookAt, lookAtGiven ? pov.CameraLookAt : BBoxCenter);
    float eh = 1, ev = 1;
    switch (CameraData.Mode) {
        case 2:
            V3AddScaled(Location, LookAt, -CameraData.Radius, CameraData.Direction);
            if (pov.FitPlacedParts && !lookAtGiven && PlaceOnPlacedParts(w, fp, &eh, &ev) != 0)
                return -1;
            break;
        case 1:
            V3Assign(Location, pov.CameraPos);
            break;
        case 3:
            if (pov.FitPlacedParts ? PlaceOnPlacedParts(w, fp, &eh, &ev) != 0
                                   : FitLocation(w, fp, &eh, &ev) != 0)
                return -1;
            // The fit chose the look-at point (the scan refuses -cla with an automatic fit).
            lookAtGiven = false;
            break;
    }
    float view[3];
    V3Sub(view, Location, LookAt);
    if (V3Length(view) == 0) {
        // POV-Ray cannot aim a camera whose location is its look_at point.
        return CameraFailure(w,
                             "Cannot place the camera: its location and look_at point coincide.");
    }
    if (!AllFinite({Location[0], Location[1], Location[2], LookAt[0], LookAt[1], LookAt[2],
                    (float)V3Length(view), eh, ev})) {
        return CameraFailure(w,
                             "Cannot place the camera: the model's coordinates are out of range.");
    }
    if (pov.Debug >= 1) PrintDebugAxes(fp);
    PrintCameraText(w, fp, lookAtGiven, eh, ev);
    return 0;
}
