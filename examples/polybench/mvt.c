/* mvt: x1 = x1 + A * y1 and x2 = x2 + A^T * y2. */
int N = 10;
double A[20][20], x1[20], x2[20], y1[20], y2[20];

int main(void)
{
  int i, j;
#pragma resource [2][4]
  for (i = 0; i < N; i++)
    for (j = 0; j < N; j++)
#pragma latency [2][1]
      x1[i] = x1[i] + A[i][j] * y1[j];
  for (i = 0; i < N; i++)
    for (j = 0; j < N; j++)
#pragma latency [4][2]
      x2[i] = x2[i] + A[j][i] * y2[j];
  return 0;
}
