/* adi: alternating direction implicit solver of a two-dimensional heat
   equation: a column sweep then a row sweep per time step, each a forward
   elimination and a back substitution (down-counting). */
int TSTEPS = 2, N = 6;
double DX, DY, DT, B1, B2, mul1, mul2, a, b, c, d, e, f;
double u[20][20], v[20][20], p[20][20], q[20][20];

int main(void)
{
  int t, i, j;
#pragma resource [2][4]
#pragma latency [1][1]
  DX = 1.0 / N;
#pragma latency [1][1]
  DY = 1.0 / N;
#pragma latency [1][1]
  DT = 1.0 / TSTEPS;
#pragma latency [1][1]
  B1 = 2.0;
#pragma latency [1][1]
  B2 = 1.0;
#pragma latency [2][1]
  mul1 = B1 * DT / (DX * DX);
#pragma latency [2][1]
  mul2 = B2 * DT / (DY * DY);
#pragma latency [1][1]
  a = -mul1 / 2.0;
#pragma latency [1][1]
  b = 1.0 + mul1;
#pragma latency [1][1]
  c = a;
#pragma latency [1][1]
  d = -mul2 / 2.0;
#pragma latency [1][1]
  e = 1.0 + mul2;
#pragma latency [1][1]
  f = d;
  for (t = 1; t <= TSTEPS; t++) {
    for (i = 1; i < N - 1; i++) {
#pragma latency [1][1]
      v[0][i] = 1.0;
#pragma latency [1][1]
      p[i][0] = 0.0;
#pragma latency [1][1]
      q[i][0] = v[0][i];
      for (j = 1; j < N - 1; j++) {
#pragma latency [3][2]
        p[i][j] = -c / (a * p[i][j - 1] + b);
#pragma latency [4][2]
        q[i][j] = (-d * u[j][i - 1] + (1.0 + 2.0 * d) * u[j][i] - f * u[j][i + 1] - a * q[i][j - 1]) / (a * p[i][j - 1] + b);
      }
#pragma latency [1][1]
      v[N - 1][i] = 1.0;
      for (j = N - 2; j >= 1; j--)
#pragma latency [2][1]
        v[j][i] = p[i][j] * v[j + 1][i] + q[i][j];
    }
    for (i = 1; i < N - 1; i++) {
#pragma latency [1][1]
      u[i][0] = 1.0;
#pragma latency [1][1]
      p[i][0] = 0.0;
#pragma latency [1][1]
      q[i][0] = u[i][0];
      for (j = 1; j < N - 1; j++) {
#pragma latency [3][2]
        p[i][j] = -f / (d * p[i][j - 1] + e);
#pragma latency [4][2]
        q[i][j] = (-a * v[i - 1][j] + (1.0 + 2.0 * a) * v[i][j] - c * v[i + 1][j] - d * q[i][j - 1]) / (d * p[i][j - 1] + e);
      }
#pragma latency [1][1]
      u[i][N - 1] = 1.0;
      for (j = N - 2; j >= 1; j--)
#pragma latency [2][1]
        u[i][j] = p[i][j] * u[i][j + 1] + q[i][j];
    }
  }
  return 0;
}
