int N = 8;
double p[8][8], q[8][8];
int main(void)
{
  int i, j;
#pragma resource [2][4]
  for (j = 0; j < N; j++) {
#pragma latency [2][1]
    p[i][j] = i + j;
  }
  for (i = 0; i < N; i++) {
#pragma latency [3][2]
    q[0][i] = p[i][0] * 2;
  }
  return 0;
}
